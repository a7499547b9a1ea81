#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "GuiTestSupport.h"
#include "app/QtHost.h"
#include "app/browser/BrowserPane.h"
#include "app/browser/frmBrowser1.h"
#include "app/mail/NewMessage.h"
#include "app/robot/frmWebRobot.h"
#include "app/shell/Form2.h"
#include "app/shell/Form6.h"
#include "app/shell/MailForm.h"
#include "app/shell/WindowPlacement.h"
#include "core/ProgramDirectory.h"
#include "core/SearchState.h"
#include "crawler/CrawlSite.h"
#include "engines/WebRobot.h"
#include "settings/SettingsFile.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

namespace zorvik::app {
namespace {

using testing::AnswerModal;
using testing::ClickButton;
using testing::Find;
using testing::WaitUntil;

class MailFormTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectory(dir_.path()); }

  // Starts the main window with `engines` as the endpoints file, after a
  // settings file is written unless this is a first start.
  void Start(const std::string& engines = "", bool firstStart = false) {
    MailSettings s;
    s.PopHost = "pop.example.org";
    s.TimeOut = 10;
    if (!firstStart) {
      ASSERT_TRUE(SaveSettingsFile(SettingsFilePath(), s, "mail"));
    }
    testing::WriteFile(dir_.path() / "engines.ini", engines);
    form_ = std::make_unique<MailForm>(host_, settings_);
    form_->Form_Load();
  }

  void Trigger(const char* action) { Find<QAction>(*form_, action)->trigger(); }
  // Runs the program's event loop until something ends it; 1 after 20 s.
  static int Exec() {
    QObject guard;
    QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(1); });
    return QApplication::exec();
  }

  testing::TempDir dir_;
  testing::RecordingHost host_;
  MailSettings settings_;
  std::unique_ptr<MailForm> form_;
};

// The end-to-end test fills the dialog and reads the file written.
TEST_F(MailFormTest, FirstStartAsksForTheSettingsBeforeTheMainWindowShows) {
  QPoint dialogAt, expectedAt;
  AnswerModal([&](QWidget& dialog) {
    EXPECT_FALSE(form_->isVisible());
    dialogAt = dialog.pos();
    expectedAt = OverMainWindow(form_->geometry(), dialog.size());
    EXPECT_EQ(Find<QLineEdit>(dialog, "Text5")->text(), "0");
    Find<QLineEdit>(dialog, "PopHost")->setText("pop.example.org");
    ClickButton(dialog, "Ok");
  });
  Start("", true);
  EXPECT_EQ(dialogAt, expectedAt);
  EXPECT_EQ(settings_.PopHost, "pop.example.org");
  EXPECT_EQ(settings_.TimeOut, 60);
  EXPECT_EQ(form_->Web()->LocationURL(), QUrl::fromLocalFile(QString::fromStdString(
                                             (ExecutableDirectory() / "banner.htm").string())))
      << "the shipped banner page";
}

TEST_F(MailFormTest, ABannerAddressThePaneRejectsIsReportedAndStartUpGoesOn) {
  QString text;
  AnswerModal([&](QWidget& box) {
    text = Find<QLabel>(box, "qt_msgbox_label")->text();
    ClickButton(box, "OK");
  });
  Start("Banner = http://[bad/\n");
  EXPECT_TRUE(text.startsWith("Unable to load 'http://[bad/' : ")) << text.toStdString();
  EXPECT_TRUE(text.endsWith(" (Error 5)")) << text.toStdString();
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(MailFormTest, BothRobotCommandsShowTheOneRobotWindowAndClosingStopsItsSearch) {
  testing::CrawlSite site;
  site.StallFrom("/c.htm", 1);
  site.Start();
  SearchState state;
  Start();
  form_->SetRobotWindowFactory([&] {
    auto* robot = new frmWebRobot(state, dir_.path());
    robot->Robot().Options().politeness = std::chrono::seconds(0);
    return robot;
  });
  Trigger("mnuScan");
  QPointer<frmWebRobot> robot = qobject_cast<frmWebRobot*>(form_->RobotWindow());
  ASSERT_NE(robot, nullptr);
  EXPECT_TRUE(robot->isVisible());
  robot->hide();
  Find<QPushButton>(*form_, "Command1")->click();
  EXPECT_EQ(form_->RobotWindow(), robot);
  EXPECT_TRUE(robot->isVisible());

  // The main window closes while the robot waits for a page.
  bool closed = false;
  QObject::connect(&robot->Host(), &QtHost::Pumped, form_.get(), [&] {
    if (!closed && std::ranges::count(site.Requests(), std::string("/c.htm")) > 0) {
      closed = true;
      form_->close();
    }
  });
  QTest::keyClicks(Find<QLineEdit>(*robot, "txtURL"), QString::fromStdString(site.Url("/index.htm")));
  QTest::keyClicks(Find<QLineEdit>(*robot, "txtSearchString"), "robots");
  Find<QLineEdit>(*robot, "txtSearchDepth")->setText("3");
  AnswerModal([&](QWidget& dialog) { testing::AcceptFile(dialog, QString::fromStdString((dir_.path() / "run.txt").string())); });
  // The program's own loop runs: closing the main window must end it.
  QTimer::singleShot(0, robot, [&] { Find<QAction>(*robot, "btnSearch")->trigger(); });
  EXPECT_EQ(Exec(), 0) << "the program ended";
  site.Release();
  ASSERT_TRUE(closed);
  EXPECT_FALSE(state.Busy) << "the search unwound";
  EXPECT_FALSE(robot->isVisible());
  EXPECT_FALSE(form_->isVisible());
  const std::string result = testing::ReadFile(dir_.path() / "run_search_result.htm");
  EXPECT_NE(result.find("</HTML>"), std::string::npos) << "the result file was finished";
}

TEST_F(MailFormTest, ExitEndsTheProgramAtOnce) {
  Start();
  QTimer::singleShot(0, form_.get(), [this] { Trigger("FileExit"); });
  EXPECT_EQ(Exec(), 0);
  EXPECT_TRUE(form_->isVisible()) << "no closing sequence";
}

TEST_F(MailFormTest, SettingsDialogsOpenOverTheMainWindowAndTheBlockingBoxReachesTheMail) {
  Start();
  QPoint at, expected;
  AnswerModal([&](QWidget& dialog) {
    at = dialog.pos();
    expected = OverMainWindow(form_->frameGeometry(), dialog.size());
    EXPECT_EQ(Find<QLineEdit>(dialog, "PopHost")->text(), "pop.example.org");
    EXPECT_EQ(Find<QLineEdit>(dialog, "Text5")->text(), "10");
    ClickButton(dialog, "Cancel");
  });
  Trigger("SettingsConnection");
  EXPECT_EQ(at, expected);

  AnswerModal([&](QWidget& dialog) {
    at = dialog.pos();
    expected = OverMainWindow(form_->frameGeometry(), dialog.size());
    Find<QLineEdit>(dialog, "Email")->setText("alice@example.org");
    ClickButton(dialog, "Ok");
  });
  Trigger("SettingsUser");
  EXPECT_EQ(at, expected);
  EXPECT_EQ(settings_.Email, "alice@example.org");
  Find<QCheckBox>(*form_, "chkBlocking")->click();
  EXPECT_TRUE(form_->Retrieval().Mail1.Blocking());
}

TEST_F(MailFormTest, AboutHelpAndUpdateWindowsOpenTheirPages) {
  testing::TestHttpServer server;
  server.Routes().Get("/version.txt", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("version = 99.0\nbuild = 1\narchive = zorvik-99.0.tar.gz\n", "text/plain");
  });
  server.Start();
  Start("ProductPage = https://zorvik.test/\nUpdateCheck = " + server.Url("/version.txt") + "\n");
  Trigger("mnuUs");
  auto* about = form_->findChild<Form2*>();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  Find<QPushButton>(*about, "cmdWebPage")->click();
  ASSERT_EQ(host_.opened.size(), 1u);
  EXPECT_EQ(host_.opened[0], "https://zorvik.test/");

  Trigger("mnuHelp");
  const std::string help = (ExecutableDirectory() / "zorvik.htm").string();
  EXPECT_EQ(host_.opened.back(), help);
  EXPECT_EQ(form_->HelpBrowser(), nullptr) << "the desktop's handler took it";
  host_.handlerExists = false;
  Trigger("mnuHelp");
  ASSERT_NE(form_->HelpBrowser(), nullptr);
  EXPECT_TRUE(form_->HelpBrowser()->isVisible());
  EXPECT_EQ(form_->HelpBrowser()->Pane()->LocationURL(), QUrl::fromLocalFile(QString::fromStdString(help)));

  Trigger("mnuUpdates");
  auto* update = form_->findChild<Form6*>();
  ASSERT_NE(update, nullptr);
  auto* status = Find<QLabel>(*update, "lblStatus");
  ASSERT_TRUE(WaitUntil([&] { return status->text().contains("is available"); })) << status->text().toStdString();
  EXPECT_TRUE(Find<QPushButton>(*update, "cmdDownload")->isEnabled());
  Trigger("mnuUpdates");
  EXPECT_EQ(form_->findChildren<Form6*>().size(), 1) << "one update window";
}

// "Send Mail" shows the one composer, as it was left; a closed one is made anew.
TEST_F(MailFormTest, SendMailShowsTheOneComposer) {
  Start();
  settings_.Email = "ann@example.org";
  QPointer<NewMessage> composer;
  form_->SetSendMail([&] { ShowComposer(composer, settings_, form_->ProductPage()); });
  auto* sendMail = Find<QAction>(*form_, "mnuSendMail");
  sendMail->trigger();
  ASSERT_FALSE(composer.isNull());
  EXPECT_TRUE(composer->isVisible());
  EXPECT_EQ(composer->Model().Mail1.From(), "ann@example.org");
  Find<QLineEdit>(*composer, "txtTo")->setText("kept@example.net");
  NewMessage* first = composer;
  sendMail->trigger();
  EXPECT_EQ(composer, first);
  EXPECT_EQ(Find<QLineEdit>(*composer, "txtTo")->text(), "kept@example.net");
  composer->close();
  ASSERT_TRUE(WaitUntil([&] { return composer.isNull(); }, 5000));
  sendMail->trigger();
  ASSERT_FALSE(composer.isNull());
  EXPECT_EQ(Find<QLineEdit>(*composer, "txtTo")->text(), "");
  form_->close();
  EXPECT_TRUE(WaitUntil([&] { return composer.isNull(); }, 5000)) << "closing the main window closes it";
}

}  // namespace
}  // namespace zorvik::app
