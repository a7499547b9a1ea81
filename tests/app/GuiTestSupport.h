#pragma once
// Helpers of the window tests: finding a window's widgets, answering a modal
// dialog through its real widgets, and waiting in Qt's event loop.

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/QtHost.h"

namespace zorvik::testing {

// The child `name` of `window`; throws (failing the test) when there is none.
template <class T>
T* Find(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(name);
  if (child == nullptr) throw std::runtime_error("no " + std::string(name) + " in " + window.objectName().toStdString());
  return child;
}

// Records what the program hands to the desktop instead of opening or starting it.
class RecordingHost : public app::QtHost {
 public:
  bool ShellOpen(std::string_view target) override {
    opened.emplace_back(target);
    return handlerExists;
  }
  bool StartProcess(std::string_view program, const std::vector<std::string>&) override {
    started.emplace_back(program);
    return true;
  }
  std::vector<std::string> opened, started;
  bool handlerExists = true;
};

// Hands the next modal dialog to come (within ten seconds) to `answer`; call
// it before the call that blocks in the dialog. Answers are taken in order.
void AnswerModal(std::function<void(QWidget& dialog)> answer);

// Presses the button of a dialog whose text is `text` (mnemonic "&" ignored).
void ClickButton(QWidget& dialog, const QString& text);
// Types a name into a Qt file dialog and accepts it.
void AcceptFile(QWidget& dialog, const QString& path);

// While it lives, message boxes no answer waits for get their default button.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  const QStringList& Texts() const { return texts_; }

 private:
  QStringList texts_;
  class QTimer* timer_;
};

// Runs the event loop until `done` holds or `timeoutMs` passed; true when it holds.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

}  // namespace zorvik::testing
