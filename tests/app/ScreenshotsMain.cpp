// Takes the README's pictures of the windows on a display (scripts/screenshots
// runs it under xvfb-run).
// usage: app_screenshots OUTPUT_FOLDER START_ADDRESS [EXPRESSION [DEPTH]]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>

#include "app/QtHost.h"
#include "app/browser/WebPane.h"
#include "app/browser/frmBrowser1.h"
#include "app/mail/NewMessage.h"
#include "app/robot/frmWebRobot.h"
#include "app/shell/MailForm.h"
#include "app/shell/WindowPlacement.h"
#include "core/ProgramDirectory.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "engines/WebRobot.h"
#include "settings/MailSettings.h"
#include "settings/SettingsFile.h"

namespace {

using namespace zorvik;
using namespace zorvik::app;

// Answers the URL-file dialog without showing it.
struct ScriptedHost : QtHost {
  explicit ScriptedHost(std::string file) : file(std::move(file)) {}
  std::optional<std::string> OpenFileDialog(const FileDialogSpec&) override { return file; }
  std::string file;
};

bool Grab(QWidget& window, const QString& file) {
  window.raise();
  const QPixmap picture = window.screen()->grabWindow(window.winId());
  const bool ok = picture.save(file, "PNG");
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: app_screenshots OUTPUT_FOLDER START_ADDRESS [EXPRESSION [DEPTH]]\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  PrepareBrowserEngine();
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Zorvik");
  SetBrowserPaneFactory([](QWidget* parent) { return new WebPane(parent); });
  const QString out = QDir(argv[1]).absolutePath();
  QDir().mkpath(out);
  const std::string start = argv[2];
  const std::string expression = argc > 3 ? argv[3] : "\"search engine\" and (robot or spider) and not advert";

  QTemporaryDir programDir;
  const std::filesystem::path dir = programDir.path().toStdString();
  SearchState state;
  frmWebRobot window(state, dir, std::make_unique<ScriptedHost>((dir / "demo.txt").string()));
  window.resize(1180, 760);
  CentreOnScreen(window);
  window.show();
  WebRobot& robot = window.Robot();
  // A second between pages, so that the picture catches the crawl midway.
  robot.Options().politeness = std::chrono::seconds(1);
  robot.Form().txtURL = start;
  robot.Form().txtSearchString = expression;
  robot.Form().txtSearchDepth = argc > 4 ? argv[4] : "3";
  robot.Form().chkExtEmail = true;
  window.SyncNow();
  QTest::qWait(1500);

  // Once the tree has grown a little, the picture of the crawl.
  bool midway = false;
  QObject::connect(&window.Host(), &QtHost::Pumped, &window, [&] {
    if (midway || window.Robot().Tree().View().Count() < 9) return;
    midway = true;
    QTest::qWait(800);
    Grab(window, out + "/robot-window-crawling.png");
  });
  robot.tbToolbar_ButtonClick("btnSearch");
  window.SyncNow();
  // The searched report in the robot's pane.
  robot.mnuSearchUrl_Click();
  window.SyncNow();
  QTest::qWait(2500);
  const bool report = Grab(window, out + "/robot-window-report.png");

  // The internal browser opens on the report, too.
  QMetaObject::invokeMethod(window.findChild<QAction*>("mnuInternalBrowser"), "trigger");
  frmBrowser1* browser = window.InternalBrowser();
  browser->resize(900, 640);
  QTest::qWait(2500);
  const bool internal = browser != nullptr && Grab(*browser, out + "/internal-browser.png");
  browser->hide();
  window.hide();

  // The main window, with a settings file so that it asks for none.
  SetProgramDirectory(dir);
  MailSettings settings;
  settings.PopHost = "pop.example.org";
  settings.Email = "jo@example.org";
  settings.UserName = "Jo Example";
  settings.TimeOut = 60;
  SaveSettingsFile(SettingsFilePath(), settings, dir.string());
  QtHost mainHost;
  MailForm mainWindow(mainHost, settings);
  mainWindow.Form_Load();
  QTest::qWait(2500);
  const bool main = Grab(mainWindow, out + "/main-window.png");

  // The composer with a message and a picture attached, typed as a user would.
  const std::string picture = (dir / "globe.gif").string();
  QFile::copy(QDir::current().absoluteFilePath("examples/site/pictures/globe.gif"), QString::fromStdString(picture));
  auto* composer = new NewMessage(settings, "https://zorvik.example.org/", std::make_unique<ScriptedHost>(picture));
  composer->show();
  QTest::keyClicks(composer->findChild<QLineEdit*>("txtTo"), "friend@example.net");
  QTest::keyClicks(composer->findChild<QLineEdit*>("txtSubject"), "The globe I mentioned");
  composer->findChild<QPlainTextEdit*>("txtBody")->insertPlainText("Hello,\n\nhere is the picture of the globe.\n\nJo");
  if (auto* attach = composer->findChild<QPushButton*>("Command1")) attach->click();
  QTest::qWait(800);
  const bool composed = Grab(*composer, out + "/composer.png");
  composer->close();
  return midway && report && internal && main && composed ? 0 : 1;
}
