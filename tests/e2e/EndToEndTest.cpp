// The desktop program end to end, as a person uses it: run by run-e2e from
// the installed tree (beside the installed zorvik, so that the installed
// layout's rules place every file) on a virtual display. The program is
// started through the same start-up as zorvik's main() and driven through
// its real windows with keyboard and mouse events only: the first start
// asks for the settings, a search of the demo site runs from the robot
// window to "Finished..... " and its report shows in the browser pane, the
// composer sends a picture as an attachment to a local aiosmtpd, and at the
// next start the saved settings fetch a message from a private Dovecot.
// Afterwards every file the program wrote is checked, and the set of files
// must be exactly the expected one.
//
// usage: app_e2e SITE_URL MAIL_FOLDER DATA_DIR SETTINGS_DIR SHIPPED_DIR
//   DATA_DIR and SETTINGS_DIR: where the program must write its output files
//   and its settings file; SHIPPED_DIR: the pages it ships.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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
#include "app/QtHost.h"
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
using testing::WaitUntil;

std::string g_site;     // the demo site's address
fs::path g_mailFolder;  // typed as the mail directory at the first start
fs::path g_data;        // where the output files must go
fs::path g_config;      // where the settings file must go
fs::path g_shipped;     // the pages the program ships

// Generous: the machine may be busy with other work.
constexpr int kWindowMs = 30000;
constexpr int kSearchMs = 60000;
constexpr int kMailMs = 30000;

const char* const kWaiting =
    "From: Ann <ann@example.org>\r\nTo: alice@example.org\r\nSubject: garden robots\r\n"
    "Date: Mon, 2 Mar 2026 10:00:00 +0000\r\n\r\nThe demo site has a page about them.\r\n";

// Says what the run does next, so that a run that stops shows where.
void Step(const char* what) {
  std::fprintf(stderr, "e2e: %s\n", what);
}

template <class T>
T* Find(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << "no " << name << " in " << window.objectName().toStdString();
  return child;
}

// Clicks into a text box, selects what it holds and types over it.
void TypeInto(QWidget& window, const char* box, const QString& text) {
  auto* edit = Find<QLineEdit>(window, box);
  if (edit == nullptr) return;
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
  EXPECT_EQ(edit->text(), text) << box;
}

void ClickButton(QWidget& window, const QString& text) {
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
    if (button->isVisible() && button->text().remove('&') == text) {
      QTest::mouseClick(button, Qt::LeftButton);
      return;
    }
  }
  ADD_FAILURE() << "no button " << text.toStdString() << " in " << window.windowTitle().toStdString();
}

// True when `dialog` is the one titled `title`; any other fails the run and
// is closed, so that the run goes on to its end.
bool IsDialog(QWidget& dialog, const char* title) {
  if (dialog.windowTitle() == title) return true;
  ADD_FAILURE() << "expected \"" << title << "\", came \"" << dialog.windowTitle().toStdString() << "\"";
  dialog.close();
  return false;
}

// While it lives, a message box nobody waits for (no answer armed with
// AnswerModal) is recorded and answered with its default button, so that
// the run goes on and says what came.
class UnexpectedMessages {
 public:
  UnexpectedMessages() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible() || testing::PendingAnswers() > 0) return;
      texts_.append(box->windowTitle() + ": " + box->text());
      QAbstractButton* button = box->defaultButton();
      if (button == nullptr) button = box->buttons().front();
      QTest::mouseClick(button, Qt::LeftButton);
    });
    timer_.start(50);
  }
  const QStringList& Texts() const { return texts_; }

 private:
  QTimer timer_;
  QStringList texts_;
};

// Types into a file dialog's name box and presses Enter. The dialog's name
// completer may open its list of matching names while the name is typed;
// that list is closed with Escape first, as a person would, so that Enter
// takes the text as typed.
void EnterName(QFileDialog& dialog, QLineEdit& box, const QString& text) {
  QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&box, text);
  WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 1000);
  if (QWidget* list = QApplication::activePopupWidget()) {
    QTest::keyClick(list, Qt::Key_Escape);
    WaitUntil([] { return QApplication::activePopupWidget() == nullptr; }, 3000);
  }
  QTest::keyClick(&box, Qt::Key_Return);
}

// Chooses a file of the folder a file dialog shows by typing its name.
void ChooseFile(QWidget& window, const QString& name) {
  auto* dialog = qobject_cast<QFileDialog*>(&window);
  auto* box = window.findChild<QLineEdit*>("fileNameEdit");
  if (dialog == nullptr || box == nullptr) {
    ADD_FAILURE() << window.windowTitle().toStdString() << " is no file dialog";
    window.close();
    return;
  }
  EnterName(*dialog, *box, name);
  if (!WaitUntil([&] { return !dialog->isVisible(); }, kWindowMs)) {
    ADD_FAILURE() << dialog->windowTitle().toStdString() << " did not take " << name.toStdString();
    dialog->close();
  }
}

// Brings a window to the front and gives it the keyboard, as a click on it
// would.
void Activate(QWidget& window) {
  window.activateWindow();
  EXPECT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &window; }, kWindowMs))
      << window.windowTitle().toStdString() << " did not become the active window";
}

// Opens a menu of the menu bar with its Alt key and picks an entry with its
// underlined letter, as the keyboard does it.
void PickMenu(QMainWindow& window, Qt::Key menuKey, Qt::Key entryKey) {
  Activate(window);
  QTest::keyClick(&window, menuKey, Qt::AltModifier);
  if (!WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, kWindowMs)) {
    ADD_FAILURE() << "no menu opened in " << window.windowTitle().toStdString();
    return;
  }
  QTest::keyClick(QApplication::activePopupWidget(), entryKey);
}

// The program's file list: every regular file under `dir`, relative, leaving
// out the browser engine's own storage.
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at) + "<no CRLF>");
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Runs `steps` inside the program's own event loop, as the program runs;
// the steps end the program (File, Exit). A failed step ends it at once.
void RunProgram(const std::function<void(Program&)>& steps) {
  Program program;
  bool ended = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    ADD_FAILURE() << "File, Exit did not end the program";
    QCoreApplication::exit(1);
  });
  QTimer::singleShot(0, [&] {
    steps(program);
    ended = true;
    if (::testing::Test::HasFailure()) QCoreApplication::exit(1);
    // Exit was picked: the loop ends once this handler returns.
    watchdog.start(kWindowMs);
  });
  const int status = QApplication::exec();
  EXPECT_TRUE(ended) << "the program ended before the steps did";
  EXPECT_EQ(status, 0) << "exit status of the program's event loop";
}

// The text the browser engine shows in `pane` once it holds `wanted`.
QString PaneTextWith(WebPane& pane, const QString& wanted) {
  struct Look {
    QString text;
    bool asked = false;
  };
  auto look = std::make_shared<Look>();
  WaitUntil([&] {
    if (look->text.contains(wanted)) return true;
    if (!look->asked) {
      look->asked = true;
      pane.View()->page()->toPlainText([look](const QString& text) {
        look->text = text;
        look->asked = false;
      });
    }
    return false;
  }, kWindowMs);
  return look->text;
}

TEST(EndToEnd, FirstStartSearchAndMail) {
  const fs::path& data = g_data;
  const fs::path& config = g_config;
  ASSERT_FALSE(fs::exists(config / "karrow.ini")) << "not a first start";
  // What was there before the program ran is not the program's writing.
  const std::set<std::string> dataBefore = FilesUnder(data), configBefore = FilesUnder(config);
  testing::DovecotServer pop("alice", "pop pa55");
  pop.SetMailbox({kWaiting});
  testing::SmtpSink smtp("alice:smtp pa55");
  UnexpectedMessages boxes;
  // While the run waits, what is on the screen: the dialog in front and the
  // robot window's status panels.
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [] {
    QWidget* modal = QApplication::activeModalWidget();
    QString shown = modal != nullptr ? "dialog \"" + modal->windowTitle() + "\"" : QString("no dialog");
    for (QWidget* window : QApplication::topLevelWidgets()) {
      for (int n = 1; n <= 4 && window->isVisible(); ++n) {
        if (auto* panel = window->findChild<QLabel*>(QString("sbHTTPStatusPanel%1").arg(n)))
          shown += " | " + panel->text();
      }
    }
    std::fprintf(stderr, "e2e: waiting: %s\n", qPrintable(shown));
  });
  heartbeat.start(5000);

  // A picture in the home folder, where the program was started and where
  // its file dialogs open: the attachment.
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
    ASSERT_TRUE(WaitUntil([&] { return main.isVisible(); }, kWindowMs));
    EXPECT_EQ(main.windowTitle(), "Zorvik");

    Step("robot window");
    // The robot window, from "Scan for Address".
    QTest::mouseClick(Find<QAbstractButton>(main, "Command1"), Qt::LeftButton);
    auto* robot = qobject_cast<frmWebRobot*>(main.RobotWindow());
    ASSERT_NE(robot, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return robot->isVisible(); }, kWindowMs));
    Activate(*robot);
    TypeInto(*robot, "txtURL", QString::fromStdString(g_site + "/robots.htm"));
    TypeInto(*robot, "txtSearchString", "robot and not advert");
    // One level: the start page only (a deeper search waits 15 s between pages).
    TypeInto(*robot, "txtSearchDepth", "1");
    // "Ext. Email(s)": the address written on each page into the address file.
    auto* harvest = Find<QCheckBox>(*robot, "chkExtEmail");
    ASSERT_NE(harvest, nullptr);
    if (!harvest->isChecked()) QTest::keyClick(harvest, Qt::Key_Space);
    EXPECT_TRUE(harvest->isChecked());
    AnswerModal([](QWidget& dialog) {
      if (IsDialog(dialog, "Open/Create New URL file")) ChooseFile(dialog, "demo.txt");
    });
    auto* toolbar = Find<QToolBar>(*robot, "tbToolbar");
    ASSERT_NE(toolbar, nullptr);
    QTest::mouseClick(toolbar->widgetForAction(Find<QAction>(*robot, "btnSearch")), Qt::LeftButton);
    auto* status = Find<QLabel>(*robot, "sbHTTPStatusPanel1");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return status->text() == "Finished..... "; }, kSearchMs))
        << "status: " << status->text().toStdString();

    Step("report in the pane");
    // The report of the matching pages in the robot's browser pane.
    auto* pane = qobject_cast<WebPane*>(robot->Pane());
    ASSERT_NE(pane, nullptr) << "the program's pane is the browser engine's";
    const QUrl report = QUrl::fromLocalFile(QString::fromStdString((data / "demo_searched.htm").string()));
    EXPECT_TRUE(WaitUntil([&] { return pane->LocationURL() == report && !pane->Busy(); }, kWindowMs))
        << "pane shows " << pane->LocationURL().toString().toStdString();
    const QString shown = PaneTextWith(*pane, "How a Search Engine Robot Works");
    EXPECT_TRUE(shown.contains("How a Search Engine Robot Works")) << "pane text: " << shown.toStdString();

    // A message with a picture: File, Send Mail opens the composer.
    Step("send mail");
    PickMenu(main, Qt::Key_F, Qt::Key_M);
    NewMessage* composer = program.Composer();
    ASSERT_NE(composer, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return composer->isVisible(); }, kWindowMs));
    Activate(*composer);
    TypeInto(*composer, "txtTo", "bob@example.org");
    TypeInto(*composer, "txtSubject", "A picture");
    auto* text = Find<QPlainTextEdit>(*composer, "txtBody");
    ASSERT_NE(text, nullptr);
    QTest::mouseClick(text->viewport(), Qt::LeftButton);
    QTest::keyClicks(text, "Bob, the globe of the demo site.");
    AnswerModal([&](QWidget& dialog) {
      if (IsDialog(dialog, "Attach a File")) ChooseFile(dialog, "globe.gif");
    });
    QTest::mouseClick(Find<QAbstractButton>(*composer, "Command1"), Qt::LeftButton);
    auto* attachments = Find<QComboBox>(*composer, "cmbAttachments");
    ASSERT_NE(attachments, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return attachments->count() == 1; }, kWindowMs)) << "the attachment is not listed";
    // "Want to Add Spamnote?": yes, the notice from the settings goes in.
    AnswerModal([](QWidget& box) {
      if (IsDialog(box, "SpamNotice")) ClickButton(box, "Yes");
    });
    QTest::mouseClick(Find<QAbstractButton>(*composer, "Send"), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return smtp.Received().size() == 1; }, kMailMs)) << "no message reached the server";
    auto* send = Find<QAbstractButton>(*composer, "Send");
    EXPECT_TRUE(WaitUntil([&] { return send->isEnabled() && attachments->count() == 0; }, kMailMs))
        << "the composer did not end the send";

    Step("exit");
    // File, Exit.
    PickMenu(main, Qt::Key_F, Qt::Key_X);
  });
  EXPECT_TRUE(boxes.Texts().isEmpty()) << "message: " << boxes.Texts().join(" | ").toStdString();

  // --- Next start: the saved settings, and no dialog; Get Mail fetches into
  // the mail directory typed at the first start.
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
    ASSERT_TRUE(WaitUntil([&] { return main.isVisible(); }, kWindowMs));
    Step("get mail");
    PickMenu(main, Qt::Key_F, Qt::Key_G);
    auto* body = Find<QPlainTextEdit>(main, "textBody");
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return body->toPlainText().contains("garden robots"); }, kMailMs))
        << "message list: " << body->toPlainText().toStdString();
    EXPECT_EQ(Find<QLabel>(main, "lblPercentage")->text(), "100%");
    PickMenu(main, Qt::Key_F, Qt::Key_X);
  });
  EXPECT_TRUE(boxes.Texts().isEmpty()) << "message: " << boxes.Texts().join(" | ").toStdString();

  Step("files");
  // --- The files written, each checked, and no others.
  const fs::path settings = config / "karrow.ini";
  struct stat st {};
  ASSERT_EQ(::stat(settings.c_str(), &st), 0) << settings;
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the settings file holds the POP3 password";
  const std::vector<std::string> expectedSettings = {
      pop.host(), "alice", "pop pa55", smtp.host(), "alice@example.org", "Alice Example", "Alice Example",
      "1 Garden Lane", "555 0100", g_mailFolder.string(), " 30 "};
  EXPECT_EQ(Lines(testing::ReadFile(settings)), expectedSettings);
  std::set<std::string> settingsWritten = FilesUnder(config);
  for (const std::string& before : configBefore) settingsWritten.erase(before);
  EXPECT_EQ(settingsWritten.erase("karrow.ini"), 1u);

  const std::string page = g_site + "/robots.htm";
  EXPECT_EQ(Lines(testing::ReadFile(data / "demo.txt")),
            (std::vector<std::string>{page, "How a Search Engine Robot Works", ""}))
      << "the URL file";
  const std::string searched = testing::ReadFile(data / "demo_searched.htm");
  for (const std::string& entry : {"<a href=\"" + page + "\">" + page + "</a>", std::string("How a Search Engine Robot Works"),
                                   std::string("&nbsp;")})
    EXPECT_NE(searched.find(entry), std::string::npos) << "the searched report lacks " << entry << ":\n" << searched;
  EXPECT_EQ(Lines(testing::ReadFile(data / "demo_mailfile.txt")), std::vector<std::string>{"webmaster@demo.example"});
  EXPECT_EQ(testing::ReadFile(g_mailFolder / "Inbox" / "1.msg"), kWaiting) << "the stored message";

  // The message as the SMTP server got it: the text with the notice, and
  // the picture as a base64 attachment.
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
  written.merge(settingsWritten);
  const std::string result = testing::ReadFile(data / "demo_search_result.htm");
  EXPECT_EQ(result.rfind("<HTML>\r\n<h2><center>SEARCH RESULT</center></h2>", 0), 0u) << result;
  EXPECT_NE(result.find("Write to <a href=\"mailto:webmaster@demo.example\">"), std::string::npos) << result;
  for (const char* expected : {"demo.txt", "demo_searched.htm", "demo_search_result.htm", "demo_mailfile.txt"})
    EXPECT_EQ(written.erase(expected), 1u) << expected;
  // Pages the program ships, copied out for the browser panes.
  for (auto it = written.begin(); it != written.end();) {
    const fs::path shipped = g_shipped / *it;
    if (!fs::is_regular_file(shipped)) {
      ++it;
      continue;
    }
    EXPECT_EQ(testing::ReadFile(data / *it), testing::ReadFile(shipped)) << *it << ": not the shipped page";
    it = written.erase(it);
  }
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
