// The desktop program end to end, run by run-e2e from the installed tree on a
// virtual display, started as zorvik's main() starts it and driven with
// keyboard and mouse only; then every file it wrote is checked.
// usage: app_e2e SITE_URL MAIL_FOLDER DATA_DIR SETTINGS_DIR SHIPPED_DIR
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "app/GuiTestSupport.h"
#include "app/Program.h"
#include "app/browser/WebPane.h"
#include "app/mail/NewMessage.h"
#include "app/robot/frmWebRobot.h"
#include "app/shell/MailForm.h"
#include "settings/MailSettings.h"
#include "support/MailPeers.h"
#include "support/TestFiles.h"

namespace zorvik::app {
namespace {

namespace fs = std::filesystem;
using testing::AnswerModal;
using testing::ClickButton;
using testing::Find;
using testing::WaitUntil;

std::string g_site;     // the demo site's address
fs::path g_mailFolder;  // typed as the mail directory at the first start
fs::path g_data;        // where the output files must go
fs::path g_config;      // where the settings file must go
fs::path g_shipped;     // the pages the program ships

// Generous: the machine may be busy with other work.
constexpr int kWaitMs = 60000;

const char* const kWaiting =
    "From: Ann <ann@example.org>\r\nTo: alice@example.org\r\nSubject: garden robots\r\n"
    "Date: Mon, 2 Mar 2026 10:00:00 +0000\r\n\r\nThe demo site has a page about them.\r\n";

// Says what the run does next, so that a run that stops shows where.
void Step(const char* what) {
  std::fprintf(stderr, "e2e: %s\n", what);
}

// Clicks into a text box, selects what it holds and types over it.
void TypeInto(QWidget& window, const char* box, const QString& text) {
  auto* edit = Find<QLineEdit>(window, box);
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
  EXPECT_EQ(edit->text(), text) << box;
}

// True when `dialog` is titled `title`; any other fails the run and is closed.
bool IsDialog(QWidget& dialog, const char* title) {
  if (dialog.windowTitle() == title) return true;
  ADD_FAILURE() << "expected \"" << title << "\", came \"" << dialog.windowTitle().toStdString() << "\"";
  dialog.close();
  return false;
}

// Types a file's name into a file dialog; the completer's list is closed first.
void ChooseFile(QWidget& dialog, const QString& name) {
  auto* box = Find<QLineEdit>(dialog, "fileNameEdit");
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(box, name);
  WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 1000);
  if (QWidget* list = QApplication::activePopupWidget()) {
    QTest::keyClick(list, Qt::Key_Escape);
    WaitUntil([] { return QApplication::activePopupWidget() == nullptr; }, 3000);
  }
  QTest::keyClick(box, Qt::Key_Return);
  if (!WaitUntil([&] { return !dialog.isVisible(); }, kWaitMs)) {
    ADD_FAILURE() << dialog.windowTitle().toStdString() << " did not take " << name.toStdString();
    dialog.close();
  }
}

// Brings a window to the front and gives it the keyboard, as a click on it would.
void Activate(QWidget& window) {
  window.activateWindow();
  EXPECT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &window; }, kWaitMs))
      << window.windowTitle().toStdString() << " did not become the active window";
}

// Picks a menu entry with the keyboard: Alt and the menu's letter, then the entry's.
void PickMenu(QMainWindow& window, Qt::Key menuKey, Qt::Key entryKey) {
  Activate(window);
  QTest::keyClick(&window, menuKey, Qt::AltModifier);
  if (!WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, kWaitMs)) {
    ADD_FAILURE() << "no menu opened in " << window.windowTitle().toStdString();
    return;
  }
  QTest::keyClick(QApplication::activePopupWidget(), entryKey);
}

// Every regular file under `dir`, relative, but the browser engine's storage.
std::set<std::string> FilesUnder(const fs::path& dir) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it) {
    if (it->path().filename() == "QtWebEngine") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), dir).string());
  }
  return files;
}

// The lines, each ended by CRLF.
std::string CrlfLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Runs `steps` in the program's own event loop; they end with File, Exit.
void RunProgram(const std::function<void(Program&)>& steps) {
  Program program;
  bool ended = false;
  QObject watchdog;
  QTimer::singleShot(0, [&] {
    steps(program);
    ended = true;
    if (::testing::Test::HasFailure()) QCoreApplication::exit(1);
    // Exit was picked: the loop ends once this handler returns.
    QTimer::singleShot(kWaitMs, &watchdog, [] {
      ADD_FAILURE() << "File, Exit did not end the program";
      QCoreApplication::exit(1);
    });
  });
  const int status = QApplication::exec();
  EXPECT_TRUE(ended) << "the program ended before the steps did";
  EXPECT_EQ(status, 0) << "exit status of the program's event loop";
}

// The text the browser engine shows in `pane`, asked again until it holds `wanted`.
QString PaneTextWith(WebPane& pane, const QString& wanted) {
  auto text = std::make_shared<QString>();
  auto asking = std::make_shared<bool>(false);
  WaitUntil([&] {
    if (!*asking && !text->contains(wanted)) {
      *asking = true;
      pane.View()->page()->toPlainText([text, asking](const QString& shown) {
        *text = shown;
        *asking = false;
      });
    }
    return text->contains(wanted);
  }, kWaitMs);
  return *text;
}

TEST(EndToEnd, FirstStartSearchAndMail) {
  const fs::path data = g_data, config = g_config;
  ASSERT_FALSE(fs::exists(config / "karrow.ini")) << "not a first start";
  // What was there before the program ran is not the program's writing.
  const std::set<std::string> dataBefore = FilesUnder(data), configBefore = FilesUnder(config);
  testing::DovecotServer pop("alice", "pop pa55");
  pop.SetMailbox({kWaiting});
  testing::SmtpSink smtp("alice:smtp pa55");
  // A message box no step waits for is answered and fails the run below.
  testing::MessageBoxAnswerer boxes;
  // The attachment, in the home folder where the program starts.
  const fs::path home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  const std::string picture = testing::ReadFile(home / "globe.gif");
  ASSERT_FALSE(picture.empty()) << home / "globe.gif";
  ASSERT_EQ(fs::current_path(), home);

  // --- First start: no settings file, so "Connection Options" comes first.
  RunProgram([&](Program& program) {
    Step("first start");
    MailForm& main = program.MainWindow();
    bool asked = false, mainShown = true;
    AnswerModal([&](QWidget& dialog) {
      asked = true;
      mainShown = main.isVisible();
      if (!IsDialog(dialog, "Connection Options")) return;
      TypeInto(dialog, "PopHost", QString::fromStdString(pop.host()));
      TypeInto(dialog, "PopUserName", "alice");
      TypeInto(dialog, "PopPassword", "pop pa55");
      TypeInto(dialog, "SmtpHost", QString::fromStdString(smtp.host()));
      TypeInto(dialog, "Email", "alice@example.org");
      TypeInto(dialog, "UserName", "Alice Example");
      TypeInto(dialog, "Text1", "Alice Example");
      TypeInto(dialog, "Text2", "1 Garden Lane");
      TypeInto(dialog, "Text3", "555 0100");
      TypeInto(dialog, "Text4", QString::fromStdString(g_mailFolder.string()));
      TypeInto(dialog, "Text5", "30");
      ClickButton(dialog, "Ok");
    });
    program.Start();
    ASSERT_TRUE(asked) << "no \"Connection Options\" at the first start";
    EXPECT_FALSE(mainShown) << "the main window showed before the settings were given";
    ASSERT_TRUE(WaitUntil([&] { return main.isVisible(); }, kWaitMs));

    Step("robot window, from \"Scan for Address\"");
    QTest::mouseClick(Find<QAbstractButton>(main, "Command1"), Qt::LeftButton);
    auto* robot = qobject_cast<frmWebRobot*>(main.RobotWindow());
    ASSERT_NE(robot, nullptr);
    Activate(*robot);
    TypeInto(*robot, "txtURL", QString::fromStdString(g_site + "/robots.htm"));
    TypeInto(*robot, "txtSearchString", "robot and not advert");
    // One level: the start page only (a deeper search waits 15 s between pages).
    TypeInto(*robot, "txtSearchDepth", "1");
    // "Ext. Email(s)": the address written on each page into the address file.
    auto* harvest = Find<QCheckBox>(*robot, "chkExtEmail");
    if (!harvest->isChecked()) QTest::keyClick(harvest, Qt::Key_Space);
    AnswerModal([](QWidget& dialog) {
      if (IsDialog(dialog, "Open/Create New URL file")) ChooseFile(dialog, "demo.txt");
    });
    auto* toolbar = Find<QToolBar>(*robot, "tbToolbar");
    QTest::mouseClick(toolbar->widgetForAction(Find<QAction>(*robot, "btnSearch")), Qt::LeftButton);
    auto* status = Find<QLabel>(*robot, "sbHTTPStatusPanel1");
    EXPECT_TRUE(WaitUntil([&] { return status->text() == "Finished..... "; }, kWaitMs))
        << "status: " << status->text().toStdString();

    Step("the report in the robot's browser pane");
    auto* pane = qobject_cast<WebPane*>(robot->Pane());
    ASSERT_NE(pane, nullptr) << "the program's pane is the browser engine's";
    const QUrl report = QUrl::fromLocalFile(QString::fromStdString((data / "demo_searched.htm").string()));
    EXPECT_TRUE(WaitUntil([&] { return pane->LocationURL() == report && !pane->Busy(); }, kWaitMs))
        << "pane shows " << pane->LocationURL().toString().toStdString();
    const QString shown = PaneTextWith(*pane, "How a Search Engine Robot Works");
    EXPECT_TRUE(shown.contains("How a Search Engine Robot Works")) << "pane text: " << shown.toStdString();

    Step("a message with a picture, from File, Send Mail");
    PickMenu(main, Qt::Key_F, Qt::Key_M);
    NewMessage* composer = program.Composer();
    ASSERT_NE(composer, nullptr);
    Activate(*composer);
    TypeInto(*composer, "txtTo", "bob@example.org");
    TypeInto(*composer, "txtSubject", "A picture");
    auto* text = Find<QPlainTextEdit>(*composer, "txtBody");
    QTest::mouseClick(text->viewport(), Qt::LeftButton);
    QTest::keyClicks(text, "Bob, the globe of the demo site.");
    AnswerModal([&](QWidget& dialog) {
      if (IsDialog(dialog, "Attach a File")) ChooseFile(dialog, "globe.gif");
    });
    QTest::mouseClick(Find<QAbstractButton>(*composer, "Command1"), Qt::LeftButton);
    auto* attachments = Find<QComboBox>(*composer, "cmbAttachments");
    EXPECT_TRUE(WaitUntil([&] { return attachments->count() == 1; }, kWaitMs)) << "the attachment is not listed";
    // "Want to Add Spamnote?": yes, the notice from the settings goes in.
    AnswerModal([](QWidget& box) {
      if (IsDialog(box, "SpamNotice")) ClickButton(box, "Yes");
    });
    QTest::mouseClick(Find<QAbstractButton>(*composer, "Send"), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return smtp.Received().size() == 1; }, kWaitMs)) << "no message reached the server";
    EXPECT_TRUE(WaitUntil([&] { return Find<QAbstractButton>(*composer, "Send")->isEnabled() && attachments->count() == 0; }, kWaitMs))
        << "the composer did not end the send";

    Step("File, Exit");
    PickMenu(main, Qt::Key_F, Qt::Key_X);
  });
  EXPECT_TRUE(boxes.Texts().isEmpty()) << "message: " << boxes.Texts().join(" | ").toStdString();

  // --- Next start: the saved settings, no dialog; Get Mail.
  ProcessMailSettings() = MailSettings{};
  bool secondAsked = false;
  RunProgram([&](Program& program) {
    MailForm& main = program.MainWindow();
    AnswerModal([&](QWidget& dialog) {
      secondAsked = true;
      dialog.close();
    });
    Step("second start");
    program.Start();
    EXPECT_FALSE(secondAsked) << "a dialog at the second start: the settings were not read back";
    ASSERT_TRUE(WaitUntil([&] { return main.isVisible(); }, kWaitMs));
    Step("get mail");
    PickMenu(main, Qt::Key_F, Qt::Key_G);
    EXPECT_FALSE(Find<QAction>(main, "mnuGetMail")->isEnabled()) << "enabled while the retrieval runs";
    auto* body = Find<QPlainTextEdit>(main, "textBody");
    EXPECT_TRUE(WaitUntil([&] { return body->toPlainText().contains("garden robots"); }, kWaitMs))
        << "message list: " << body->toPlainText().toStdString();
    EXPECT_EQ(Find<QLabel>(main, "lblPercentage")->text(), "100%");
    PickMenu(main, Qt::Key_F, Qt::Key_X);
  });
  EXPECT_TRUE(boxes.Texts().isEmpty()) << "message: " << boxes.Texts().join(" | ").toStdString();

  Step("the files written, each checked, and no others");
  const fs::path settings = config / "karrow.ini";
  EXPECT_EQ(testing::ReadFile(settings),
            CrlfLines({pop.host(), "alice", "pop pa55", smtp.host(), "alice@example.org", "Alice Example",
                       "Alice Example", "1 Garden Lane", "555 0100", g_mailFolder.string(), " 30 "}));
  std::set<std::string> settingsWritten = FilesUnder(config);
  for (const std::string& before : configBefore) settingsWritten.erase(before);
  EXPECT_EQ(settingsWritten, std::set<std::string>{"karrow.ini"});

  const std::string page = g_site + "/robots.htm";
  EXPECT_EQ(testing::ReadFile(data / "demo.txt"), CrlfLines({page, "How a Search Engine Robot Works", ""}));
  const std::string searched = testing::ReadFile(data / "demo_searched.htm");
  for (const std::string& entry : {"<a href=\"" + page + "\">" + page + "</a>", std::string("How a Search Engine Robot Works"),
                                   std::string("&nbsp;")})
    EXPECT_NE(searched.find(entry), std::string::npos) << "the searched report lacks " << entry << ":\n" << searched;
  EXPECT_EQ(testing::ReadFile(data / "demo_mailfile.txt"), CrlfLines({"webmaster@demo.example"}));
  EXPECT_EQ(testing::ReadFile(g_mailFolder / "Inbox" / "1.msg"), kWaiting) << "the stored message";

  // The message as sent: the text with the notice, the picture in base64.
  const std::vector<testing::ReceivedMail> received = smtp.Received();
  ASSERT_EQ(received.size(), 1u);
  const testing::ReceivedMail& mail = received.front();
  EXPECT_EQ(mail.envelopeFrom, "alice@example.org");
  EXPECT_EQ(mail.recipients, std::vector<std::string>{"bob@example.org"});
  EXPECT_NE(mail.bytes.find("Subject: A picture\r\n"), std::string::npos) << mail.bytes;
  ASSERT_EQ(mail.parts.size(), 2u) << mail.bytes;
  for (const char* text : {"Bob, the globe of the demo site.", "Alice Example", "1 Garden Lane", "555 0100"})
    EXPECT_NE(mail.parts[0].second.find(text), std::string::npos) << "the text lacks " << text << ":\n" << mail.parts[0].second;
  EXPECT_EQ(mail.parts[1].first, "base64");
  EXPECT_EQ(mail.parts[1].second, picture) << "the attachment";
  EXPECT_EQ(FilesUnder(g_mailFolder), std::set<std::string>{"Inbox/1.msg"});
  std::set<std::string> written = FilesUnder(data);
  for (const std::string& before : dataBefore) written.erase(before);
  const std::string result = testing::ReadFile(data / "demo_search_result.htm");
  EXPECT_EQ(result.rfind("<HTML>\r\n<h2><center>SEARCH RESULT</center></h2>", 0), 0u) << result;
  EXPECT_NE(result.find("Write to <a href=\"mailto:webmaster@demo.example\">"), std::string::npos) << result;
  for (const char* expected : {"demo.txt", "demo_searched.htm", "demo_search_result.htm", "demo_mailfile.txt"})
    EXPECT_EQ(written.erase(expected), 1u) << expected;
  // Pages the program ships, copied out for the browser panes.
  std::erase_if(written, [&](const std::string& file) {
    if (!fs::is_regular_file(g_shipped / file)) return false;
    EXPECT_EQ(testing::ReadFile(data / file), testing::ReadFile(g_shipped / file)) << file << ": not the shipped page";
    return true;
  });
  for (const std::string& other : written) ADD_FAILURE() << "also written: " << (data / other);
}

}  // namespace
}  // namespace zorvik::app

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 6) {
    std::fprintf(stderr, "usage: app_e2e SITE_URL MAIL_FOLDER DATA_DIR SETTINGS_DIR SHIPPED_DIR\n");
    return 2;
  }
  zorvik::app::g_site = argv[1];
  zorvik::app::g_mailFolder = argv[2];
  zorvik::app::g_data = argv[3];
  zorvik::app::g_config = argv[4];
  zorvik::app::g_shipped = argv[5];
  zorvik::app::PrepareProgram();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
