#include "GuiTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

namespace zorvik::testing {

namespace {

std::deque<std::function<void(QWidget&)>>& Answers() {
  static std::deque<std::function<void(QWidget&)>> answers;
  return answers;
}

constexpr int kPollMs = 10;
constexpr int kPolls = 1000;  // ten seconds

// The dialog handled last, so that one dialog is never answered twice (a
// guarded pointer: the next dialog may be made at the same address).
QPointer<QWidget> g_lastAnswered;

void Poll(int left) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != g_lastAnswered && modal->isVisible() && !Answers().empty()) {
    auto answer = std::move(Answers().front());
    Answers().pop_front();
    g_lastAnswered = modal;
    answer(*modal);
    if (!Answers().empty()) QTimer::singleShot(kPollMs, [] { Poll(kPolls); });
    return;
  }
  if (left > 0 && !Answers().empty()) {
    QTimer::singleShot(kPollMs, [left] { Poll(left - 1); });
  } else if (!Answers().empty()) {
    Answers().clear();  // nothing came: give up, the test's checks will say so
  }
}

}  // namespace

void AnswerModal(std::function<void(QWidget& dialog)> answer) {
  Answers().push_back(std::move(answer));
  if (Answers().size() == 1) QTimer::singleShot(0, [] { Poll(kPolls); });
}

void ClickButton(QWidget& dialog, const QString& text) {
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->text().remove('&') == QString(text).remove('&') && button->isVisible()) {
      QTest::mouseClick(button, Qt::LeftButton);
      return;
    }
  }
  ADD_FAILURE() << "no button \"" << text.toStdString() << "\" in " << dialog.objectName().toStdString();
}

void AcceptFile(QWidget& dialog, const QString& path) {
  auto* name = Find<QLineEdit>(dialog, "fileNameEdit");
  name->setText(path);
  QTest::keyClick(name, Qt::Key_Return);
}

MessageBoxAnswerer::MessageBoxAnswerer() : timer_(new QTimer) {
  QObject::connect(timer_, &QTimer::timeout, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box == g_lastAnswered || !Answers().empty()) return;
    g_lastAnswered = box;
    texts_.append(box->text());
    QAbstractButton* first = box->defaultButton();
    if (first == nullptr) first = box->buttons().front();
    QTest::mouseClick(first, Qt::LeftButton);
  });
  timer_->start(5);
}

MessageBoxAnswerer::~MessageBoxAnswerer() { delete timer_; }

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  // Sleeps in the loop between looks, as the program's own loop does.
  QTimer tick;
  tick.start(5);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace zorvik::testing
