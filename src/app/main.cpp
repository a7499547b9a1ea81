// zorvik, the desktop program: the robot window.
#include <QApplication>

#include "app/Icons.h"
#include "app/browser/WebPane.h"
#include "app/robot/frmWebRobot.h"
#include "core/ProgramDirectory.h"
#include "core/SearchState.h"

int main(int argc, char* argv[]) {
  zorvik::app::PrepareBrowserEngine();
  QApplication app(argc, argv);
  QApplication::setApplicationName("zorvik");
  QApplication::setApplicationDisplayName("Zorvik");
  QApplication::setWindowIcon(zorvik::app::DrawnIcon(zorvik::app::IconName::Program));
  zorvik::app::SetBrowserPaneFactory([](QWidget* parent) { return new zorvik::app::WebPane(parent); });

  zorvik::app::frmWebRobot robot(zorvik::ProcessSearchState(), zorvik::ProgramDirectory());
  robot.show();
  return QApplication::exec();
}
