// The main of the window tests: one QApplication for the whole program.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Before the application: the browser engine, when a test uses it, needs
  // OpenGL contexts shared.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Zorvik");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
