#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "GuiTestSupport.h"
#include "app/QtHost.h"
#include "app/browser/BrowserPane.h"
#include "app/browser/frmBrowser1.h"
#include "app/robot/frmWebRobot.h"
#include "app/shell/Form2.h"
#include "app/shell/Form6.h"
#include "app/shell/MailForm.h"
#include "app/shell/WindowPlacement.h"
#include "core/ProgramDirectory.h"
#include "core/SearchState.h"
#include "crawler/CrawlSite.h"
#include "engines/WebRobot.h"
#include "core/Version.h"
#include "settings/SettingsFile.h"
#include "support/MailPeers.h"
#include "support/TestHttpServer.h"

namespace zorvik::app {
namespace {

namespace fs = std::filesystem;
using testing::AnswerModal;
using testing::ClickButton;
using testing::WaitUntil;

// Records what the program asks the desktop to open.
class RecordingHost : public QtHost {
 public:
  bool ShellOpen(std::string_view target) override {
    opened.emplace_back(target);
    return handlerExists;
  }
  std::vector<std::string> opened;
  bool handlerExists = true;
};

template <class T>
T& Child(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(name);
  if (child == nullptr) throw std::runtime_error(std::string("no child ") + name);
  return *child;
}

class MailFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDirectory(dir_.path());
    form_ = std::make_unique<MailForm>(host_, settings_);
  }

  void WriteSettings(const std::string& popHost) {
    MailSettings s;
    s.PopHost = popHost;
    s.PopUserName = "alice";
    s.PopPassword = "pa55 word";
    s.TimeOut = 10;
    ASSERT_TRUE(SaveSettingsFile(SettingsFilePath(), s, "mail"));
  }

  void Trigger(const char* action) { Child<QAction>(*form_, action).trigger(); }

  testing::TempDir dir_;
  RecordingHost host_;
  MailSettings settings_;
  std::unique_ptr<MailForm> form_;
};

TEST_F(MailFormTest, FirstStartAsksForTheSettingsBeforeTheMainWindowShows) {
  bool mainShown = true;
  QPoint dialogAt, expectedAt;
  AnswerModal([&](QWidget& dialog) {
    mainShown = form_->isVisible();
    EXPECT_EQ(dialog.windowTitle(), "Connection Options");
    dialogAt = dialog.pos();
    expectedAt = OverMainWindow(form_->geometry(), dialog.size());
    EXPECT_EQ(Child<QLineEdit>(dialog, "Text5").text(), "0");
    Child<QLineEdit>(dialog, "PopHost").setText("pop.example.org");
    ClickButton(dialog, "Ok");
  });
  form_->Form_Load();
  EXPECT_FALSE(mainShown);
  EXPECT_EQ(dialogAt, expectedAt);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(form_->windowTitle(), "Zorvik");
  EXPECT_EQ(settings_.PopHost, "pop.example.org");
  EXPECT_EQ(settings_.TimeOut, 60);
  const fs::path file = dir_.path() / "karrow.ini";
  const std::string text = testing::ReadFile(file);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(form_->Web()->LocationURL(), QUrl::fromLocalFile(QString::fromStdString(
                                             (ExecutableDirectory() / "banner.htm").string())))
      << "the shipped banner page";
}

TEST_F(MailFormTest, ABannerAddressThePaneRejectsIsReportedAndStartUpGoesOn) {
  WriteSettings("pop.example.org");
  testing::WriteFile(dir_.path() / "engines.ini", "Banner = http://[bad/\n");
  form_ = std::make_unique<MailForm>(host_, settings_);
  QString text;
  AnswerModal([&](QWidget& box) {
    text = Child<QLabel>(box, "qt_msgbox_label").text();
    ClickButton(box, "OK");
  });
  form_->Form_Load();
  EXPECT_TRUE(text.startsWith("Unable to load 'http://[bad/' : ")) << text.toStdString();
  EXPECT_TRUE(text.endsWith(" (Error 5)")) << text.toStdString();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(settings_.PopHost, "pop.example.org") << "no dialog: the settings were there";
}

TEST_F(MailFormTest, BothRobotCommandsShowTheOneRobotWindowAndClosingStopsItsSearch) {
  WriteSettings("pop.example.org");
  testing::CrawlSite site;
  site.StallFrom("/c.htm", 1);
  site.Start();
  SearchState state;
  int made = 0;
  form_->SetRobotWindowFactory([&] {
    ++made;
    auto* robot = new frmWebRobot(state, dir_.path());
    robot->Robot().Options().politeness = std::chrono::seconds(0);
    return robot;
  });
  form_->Form_Load();
  Trigger("mnuScan");
  QPointer<frmWebRobot> robot = qobject_cast<frmWebRobot*>(form_->RobotWindow());
  ASSERT_NE(robot, nullptr);
  EXPECT_TRUE(robot->isVisible());
  robot->hide();
  Child<QPushButton>(*form_, "Command1").click();
  EXPECT_EQ(form_->RobotWindow(), robot);
  EXPECT_TRUE(robot->isVisible());
  EXPECT_EQ(made, 1);

  // The main window closes while the robot waits for a page.
  bool closed = false;
  QObject::connect(&robot->Host(), &QtHost::Pumped, form_.get(), [&] {
    const auto requests = site.Requests();
    if (!closed && std::find(requests.begin(), requests.end(), "/c.htm") != requests.end()) {
      closed = true;
      form_->close();
    }
  });
  QTest::keyClicks(&Child<QLineEdit>(*robot, "txtURL"), QString::fromStdString(site.Url("/index.htm")));
  QTest::keyClicks(&Child<QLineEdit>(*robot, "txtSearchString"), "robots");
  Child<QLineEdit>(*robot, "txtSearchDepth").setText("3");
  AnswerModal([&](QWidget& dialog) { testing::AcceptFile(dialog, QString::fromStdString((dir_.path() / "run.txt").string())); });
  // The program's own loop runs: closing the main window must end it.
  QTimer::singleShot(0, robot, [&] { Child<QAction>(*robot, "btnSearch").trigger(); });
  QTimer safety;
  safety.setSingleShot(true);
  QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  safety.start(20000);
  EXPECT_EQ(QApplication::exec(), 0) << "the program ended";
  site.Release();
  ASSERT_TRUE(closed);
  EXPECT_FALSE(state.Busy) << "the search unwound";
  EXPECT_FALSE(robot->isVisible());
  EXPECT_FALSE(form_->isVisible());
  const std::string result = testing::ReadFile(dir_.path() / "run_search_result.htm");
  EXPECT_NE(result.find("</HTML>"), std::string::npos) << "the result file was finished";
}

TEST_F(MailFormTest, ExitEndsTheProgramAtOnce) {
  WriteSettings("pop.example.org");
  form_->Form_Load();
  QTimer::singleShot(0, form_.get(), [this] { Trigger("FileExit"); });
  QTimer safety;
  safety.setSingleShot(true);
  QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  safety.start(20000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(form_->isVisible()) << "no closing sequence";
}

TEST_F(MailFormTest, GetMailFetchesIntoTheInboxAndListsTheMessages) {
  testing::DovecotServer server("alice", "pa55 word");
  server.SetMailbox({"From: Ann <ann@example.org>\r\nSubject: hello\r\n\r\nhi\r\n"});
  WriteSettings(server.host());
  form_->Form_Load();
  auto& getMail = Child<QAction>(*form_, "mnuGetMail");
  ASSERT_TRUE(getMail.isEnabled());
  getMail.trigger();
  EXPECT_FALSE(getMail.isEnabled()) << "disabled while the retrieval runs";
  ASSERT_TRUE(WaitUntil([&] { return getMail.isEnabled(); }));
  EXPECT_EQ(Child<QPlainTextEdit>(*form_, "textBody").toPlainText(), "hello\tAnn <ann@example.org>\t\n");
  EXPECT_EQ(Child<QLabel>(*form_, "lblPercentage").text(), "100%");
  EXPECT_TRUE(fs::exists(dir_.path() / "mail" / "Inbox" / "1.msg"));
  EXPECT_EQ(server.MailboxSize(), 1);

  Child<QCheckBox>(*form_, "chkBlocking").click();
  EXPECT_TRUE(form_->Retrieval().Mail1.Blocking());
}

TEST_F(MailFormTest, SettingsDialogsOpenOverTheMainWindowWithTheRecord) {
  WriteSettings("pop.example.org");
  form_->Form_Load();
  QPoint at, expected;
  AnswerModal([&](QWidget& dialog) {
    at = dialog.pos();
    expected = OverMainWindow(form_->frameGeometry(), dialog.size());
    EXPECT_EQ(Child<QLineEdit>(dialog, "PopHost").text(), "pop.example.org");
    EXPECT_EQ(Child<QLineEdit>(dialog, "Text5").text(), "10");
    ClickButton(dialog, "Cancel");
  });
  Trigger("SettingsConnection");
  EXPECT_EQ(at, expected);

  AnswerModal([&](QWidget& dialog) {
    at = dialog.pos();
    expected = OverMainWindow(form_->frameGeometry(), dialog.size());
    Child<QLineEdit>(dialog, "Email").setText("alice@example.org");
    ClickButton(dialog, "Ok");
  });
  Trigger("SettingsUser");
  EXPECT_EQ(at, expected);
  EXPECT_EQ(settings_.Email, "alice@example.org");
}

TEST_F(MailFormTest, AboutBoxAndHelpOpenTheirPages) {
  WriteSettings("pop.example.org");
  testing::WriteFile(dir_.path() / "engines.ini", "ProductPage = https://zorvik.test/\n");
  form_ = std::make_unique<MailForm>(host_, settings_);
  form_->Form_Load();
  Trigger("mnuUs");
  auto* about = form_->findChild<Form2*>();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(Child<QLabel>(*about, "lblVersion").text(), QString("Version ") + kVersion);
  EXPECT_EQ(Child<QLabel>(*about, "lblBuild").text(), QString("Build ") + kBuild);
  Child<QPushButton>(*about, "cmdWebPage").click();
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
}

TEST_F(MailFormTest, UpdateWindowChecksTheConfiguredVersionFile) {
  testing::TestHttpServer server;
  server.Routes().Get("/version.txt", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("version = 99.0\nbuild = 1\narchive = zorvik-99.0.tar.gz\n", "text/plain");
  });
  server.Start();
  WriteSettings("pop.example.org");
  testing::WriteFile(dir_.path() / "engines.ini", "UpdateCheck = " + server.Url("/version.txt") + "\n");
  form_ = std::make_unique<MailForm>(host_, settings_);
  form_->Form_Load();
  Trigger("mnuUpdates");
  auto* update = form_->findChild<Form6*>();
  ASSERT_NE(update, nullptr);
  auto& status = Child<QLabel>(*update, "lblStatus");
  ASSERT_TRUE(WaitUntil([&] { return status.text().contains("is available"); }))
      << status.text().toStdString();
  EXPECT_TRUE(Child<QPushButton>(*update, "cmdDownload").isEnabled());
  Trigger("mnuUpdates");
  EXPECT_EQ(form_->findChildren<Form6*>().size(), 1) << "one update window";
}

}  // namespace
}  // namespace zorvik::app
