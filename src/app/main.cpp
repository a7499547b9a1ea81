// zorvik, the desktop program. It starts in its main window, "Zorvik", which
// loads the mail settings and opens every other window.
#include <QApplication>
#include <QPointer>

#include "app/Icons.h"
#include "app/QtHost.h"
#include "app/browser/WebPane.h"
#include "app/mail/NewMessage.h"
#include "app/robot/frmWebRobot.h"
#include "app/shell/MailForm.h"
#include "core/ProgramDirectory.h"
#include "core/SearchState.h"
#include "settings/MailSettings.h"

int main(int argc, char* argv[]) {
  zorvik::app::PrepareBrowserEngine();
  QApplication app(argc, argv);
  QApplication::setApplicationName("zorvik");
  QApplication::setApplicationDisplayName("Zorvik");
  QApplication::setWindowIcon(zorvik::app::DrawnIcon(zorvik::app::IconName::Program));
  zorvik::app::SetBrowserPaneFactory([](QWidget* parent) { return new zorvik::app::WebPane(parent); });
  zorvik::app::QtHost host;

  zorvik::app::MailForm mainWindow(host, zorvik::ProcessMailSettings());
  mainWindow.SetRobotWindowFactory(
      [] { return new zorvik::app::frmWebRobot(zorvik::ProcessSearchState(), zorvik::ProgramDirectory()); });
  QPointer<zorvik::app::NewMessage> composer;
  mainWindow.SetSendMail([&] {
    zorvik::app::ShowComposer(composer, zorvik::ProcessMailSettings(), mainWindow.ProductPage());
  });
  mainWindow.Form_Load();
  return QApplication::exec();
}
