// zorvik, the desktop program.
#include <QApplication>
#include <QMainWindow>

#include "app/QtHost.h"
#include "app/browser/WebPane.h"
#include "app/shell/WindowPlacement.h"

int main(int argc, char* argv[]) {
  zorvik::app::PrepareBrowserEngine();
  QApplication app(argc, argv);
  QApplication::setApplicationName("zorvik");
  QApplication::setApplicationDisplayName("Zorvik");
  zorvik::app::SetBrowserPaneFactory([](QWidget* parent) { return new zorvik::app::WebPane(parent); });
  zorvik::app::QtHost host;

  QMainWindow window;
  window.setWindowTitle("Information Retrieval  System");
  window.resize(900, 640);
  zorvik::app::CentreOnScreen(window);
  window.show();
  return QApplication::exec();
}
