#pragma once
// The desktop program as zorvik starts it: the application's names and icon,
// the real browser pane in every window, and the main window "Zorvik" with
// the windows it opens. main() and the end-to-end test start the program
// through this one place, so the test runs what users run.

#include <QPointer>
#include <memory>

namespace zorvik::app {

class MailForm;
class NewMessage;
class QtHost;

// Before the QApplication exists.
void PrepareProgram();

class Program {
 public:
  // After the QApplication exists. Sets the application's names and icon and
  // makes the main window over the process's mail settings, with the robot
  // window and the composer behind its commands.
  Program();
  ~Program();

  // Start-up of the main window (settings file or the "Connection Options"
  // dialog, then the window shows).
  void Start();

  MailForm& MainWindow() { return *mainWindow_; }
  QtHost& Host() { return *host_; }
  // The composer window "Send Mail" shows; null until then, or once closed.
  NewMessage* Composer() const;

 private:
  std::unique_ptr<QtHost> host_;
  std::unique_ptr<MailForm> mainWindow_;
  QPointer<NewMessage> composer_;
};

}  // namespace zorvik::app
