// zorvik, the desktop program. It starts in its main window, "Zorvik", which
// loads the mail settings and opens every other window.
#include <QApplication>

#include "app/CommandLine.h"
#include "app/Program.h"

int main(int argc, char* argv[]) {
  if (const auto answered = zorvik::app::AnswerCommandLine(argc, argv)) return *answered;
  zorvik::app::PrepareProgram();
  QApplication app(argc, argv);
  zorvik::app::Program program;
  program.Start();
  return QApplication::exec();
}
