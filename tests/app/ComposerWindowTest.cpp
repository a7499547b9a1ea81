// The composer window's wiring: its widgets reach the model and back; a send
// goes out while only Qt's loop runs; a list send repaints and can be cancelled.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "app/QtHost.h"
#include "app/mail/NewMessage.h"
#include "app/shell/WindowPlacement.h"
#include "support/MailPeers.h"

namespace zorvik::app {
namespace {

using namespace std::string_literals;
using testing::AcceptFile;
using testing::AnswerModal;
using testing::ClickButton;
using testing::WaitUntil;

class ComposerWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sink_ = new testing::SmtpSink("alice:secret"); }
  static void TearDownTestSuite() { delete sink_; }
  void SetUp() override {
    sink_->Clear();
    settings_.SmtpHost = sink_->host();
    settings_.Email = "ann@example.org";
    settings_.TimeOut = 10;
    window_ = new NewMessage(settings_, "http://www.zorvik.example/");
    window_->show();
  }
  void TearDown() override {
    if (window_) window_->close();
    WaitUntil([this] { return window_.isNull(); }, 5000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  template <class T>
  T* Find(const char* name) { return testing::Find<T>(*window_, name); }
  void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
  // Writes a file and arms the next file dialog to choose it; gives its path.
  std::string ChooseFile(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_.path() / name).string();
    testing::WriteFile(path, bytes);
    AnswerModal([path](QWidget& d) { AcceptFile(d, QString::fromStdString(path)); });
    return path;
  }

  static testing::SmtpSink* sink_;
  testing::TempDir dir_;
  MailSettings settings_;
  QPointer<NewMessage> window_;
};

testing::SmtpSink* ComposerWindowTest::sink_ = nullptr;

TEST_F(ComposerWindowTest, ComposesAndSendsThroughTheWidgets) {
  EXPECT_TRUE(QFontInfo(Find<QPlainTextEdit>("txtBody")->font()).fixedPitch());
  EXPECT_EQ(window_->pos(), CentredOnScreen(window_->screen()->availableGeometry(), window_->size()));

  QTest::keyClicks(Find<QLineEdit>("txtTo"), "bob@example.net");
  QTest::keyClicks(Find<QLineEdit>("txtSubject"), "Report");
  // The edit menu acts on the field that has the focus.
  auto* subject = Find<QLineEdit>("txtSubject");
  subject->setFocus();
  subject->selectAll();
  Find<QAction>("mnuCopy")->trigger();
  auto* cc = Find<QLineEdit>("txtCC");
  cc->setFocus();
  Find<QAction>("mnuPaste")->trigger();
  EXPECT_EQ(window_->Model().txtCC, "Report");
  cc->selectAll();
  Find<QAction>("mnuCut")->trigger();
  EXPECT_EQ(window_->Model().txtCC, "");
  EXPECT_EQ(QApplication::clipboard()->text(), "Report");

  QTest::keyClicks(Find<QPlainTextEdit>("txtBody"), "Hello Bob");
  QTest::keyClick(Find<QPlainTextEdit>("txtBody"), Qt::Key_Return);
  QTest::mouseClick(Find<QRadioButton>("optQuotedPrintable"), Qt::LeftButton);
  const std::string file = ChooseFile("report.bin", "binary\0bytes\xff"s);
  Click("Command1");
  EXPECT_EQ(Find<QComboBox>("cmbAttachments")->currentText().toStdString(), file);

  AnswerModal([](QWidget& d) { ClickButton(d, "No"); });  // "Want to Add Spamnote?"
  Click("Send");
  // Still on its way: the window takes input, the send buttons wait.
  EXPECT_TRUE(window_->Model().Busy());
  EXPECT_FALSE(Find<QPushButton>("Send")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("Cancel")->isEnabled());
  // Only Qt's loop runs from here: the host pumps the transfer when idle.
  ASSERT_TRUE(WaitUntil([&] { return !window_->Model().Busy(); }, 20000));
  EXPECT_TRUE(Find<QPushButton>("Send")->isEnabled());

  // What was typed reached the message (the end-to-end test reads it whole).
  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].parts.size(), 2u);
  EXPECT_EQ(got[0].parts[0].second, "Hello Bob\r\n");
  EXPECT_EQ(got[0].parts[1].first, "quoted-printable");
  EXPECT_TRUE(Find<QPlainTextEdit>("Text1")->toPlainText().contains("EHLO"));
}

// No recipient: Form3 asks for one; the list menus fill BCC and the status.
TEST_F(ComposerWindowTest, Form3AndTheListMenus) {
  ChooseFile("list.txt", "a@x.org\r\nb@y.org\r\n");
  Find<QAction>("mnuOpenBCC")->trigger();
  EXPECT_EQ(Find<QLineEdit>("txtBCC")->text(), "a@x.org, b@y.org");
  ChooseFile("list.txt", "a@x.org\r\nb@y.org\r\n");
  Find<QAction>("mnuOpenMailFile")->trigger();
  EXPECT_TRUE(Find<QPlainTextEdit>("Text1")->toPlainText().endsWith("Addresses in the list: 2"));

  QString form3;
  AnswerModal([](QWidget& d) { ClickButton(d, "OK"); });  // "The mail has no Recipient!"
  AnswerModal([&](QWidget& d) {
    form3 = d.windowTitle();
    QTest::keyClicks(d.findChild<QLineEdit*>("Text1"), "carl@example.com");
    ClickButton(d, "&OK");
  });
  AnswerModal([](QWidget& d) { ClickButton(d, "No"); });  // the notice question
  Click("Send");
  EXPECT_EQ(form3, "No Recipient......");
  EXPECT_EQ(Find<QLineEdit>("txtTo")->text(), "carl@example.com");
  ASSERT_TRUE(WaitUntil([&] { return !window_->Model().Busy(); }, 20000));
  EXPECT_EQ(sink_->Received().size(), 1u);
}

// A window closed while its message is on the way ends the transfer and goes.
TEST_F(ComposerWindowTest, ClosingDuringASingleSend) {
  QTest::keyClicks(Find<QLineEdit>("txtTo"), "bob@example.net");
  AnswerModal([](QWidget& d) { ClickButton(d, "No"); });
  Click("Send");
  ASSERT_TRUE(window_->Model().Busy());
  window_->close();
  ASSERT_TRUE(WaitUntil([&] { return window_.isNull(); }, 5000));
  QTest::qWait(100);
  EXPECT_LE(sink_->Received().size(), 1u);
}

// "Send from File" shows each message counted; "Cancel" closes before the next.
TEST_F(ComposerWindowTest, AListSendRepaintsAndCanBeCancelled) {
  std::string lines;
  for (int i = 0; i < 20; ++i) lines += "reader" + std::to_string(i) + "@example.net\r\n";
  ChooseFile("list.txt", lines);
  QTest::keyClicks(Find<QPlainTextEdit>("txtBody"), "News");
  AnswerModal([](QWidget& d) { ClickButton(d, "No"); });
  QStringList shown;
  bool cancelled = false, held = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!window_) return;
    const QString sent = Find<QLineEdit>("txtSent")->text();
    if (shown.isEmpty() || shown.back() != sent) shown.append(sent);
    if (sent == "1") {
      held = Find<QPlainTextEdit>("txtBody")->isReadOnly() && Find<QLineEdit>("txtSubject")->isReadOnly() &&
             !Find<QAction>("mnuInsert")->isEnabled() && !Find<QAction>("mnuOpenBCC")->isEnabled();
    }
    if (sent == "2" && !cancelled) {
      cancelled = true;
      Click("Cancel");
    }
  });
  watch.start(5);
  Click("Command2");
  watch.stop();
  ASSERT_TRUE(WaitUntil([&] { return window_.isNull(); }, 5000)) << "the window closes";
  EXPECT_TRUE(shown.contains("1") && shown.contains("2")) << shown.join(",").toStdString();
  EXPECT_TRUE(held) << "the message cannot change between two lines";
  const std::size_t sent = sink_->Received().size();
  EXPECT_GE(sent, 2u);
  EXPECT_LE(sent, 3u) << "the list stops at the next line";
}

}  // namespace
}  // namespace zorvik::app
