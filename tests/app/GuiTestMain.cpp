// The main of the window tests: one QApplication for the whole program.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

// The offscreen platform says at every window that it cannot do what only a
// window manager does; that is no news.
QtMessageHandler g_standard = nullptr;

void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains("This plugin does not support")) return;
  g_standard(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  g_standard = qInstallMessageHandler(QuietMessages);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Before the application: the browser engine, when a test uses it, needs
  // OpenGL contexts shared.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Zorvik");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
