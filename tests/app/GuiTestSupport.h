#pragma once
// Helpers of the window tests: answering a modal dialog through its real
// widgets, and waiting in Qt's event loop for a condition.

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace zorvik::testing {

// Arms a timer that waits (a bounded time) for a modal dialog to appear and
// hands it to `answer`. Call before the call that blocks in the dialog.
// Answers are taken in order when several are armed.
void AnswerModal(std::function<void(QWidget& dialog)> answer);
// How many armed answers have not found their dialog yet.
int PendingAnswers();

// Presses the button of a dialog whose text is `text` (mnemonic "&" ignored).
void ClickButton(QWidget& dialog, const QString& text);
// Types a name into a Qt file dialog and accepts it.
void AcceptFile(QWidget& dialog, const QString& path);

// While it lives, every message box that comes up is answered with its
// first button, and its text is recorded.
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
