#pragma once
// "New Message", the mail composer's window: a thin window over the
// composer's model (mail/NewMessage.h). Every click goes to the model's
// command of the same name; the widgets show the model's values after every
// command and every pump of the event loop.
//
// A single send leaves the window usable while it goes out. A list send
// holds the command until the list is done, but the window repaints, and
// "Cancel" or "&Close" close it: the list stops before its next line and
// the window goes away once the command has returned.

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "mail/NewMessage.h"

namespace Ui {
class NewMessage;
}

namespace zorvik::app {

class QtHost;

class NewMessage : public QMainWindow {
  Q_OBJECT
 public:
  // Centred on the screen, its sender the settings' Email; the footer ends
  // with `productPage`. It runs its dialogs through its own host (a new
  // QtHost when none is given) and deletes itself when closed.
  NewMessage(const MailSettings& settings, std::string productPage,
             std::unique_ptr<QtHost> host = nullptr, QWidget* parent = nullptr);
  ~NewMessage() override;

  mail::NewMessage& Model() { return model_; }
  QtHost& Host() { return *host_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs one of the model's commands, then brings the widgets up to date.
  void Run(void (mail::NewMessage::*command)());
  // Ctrl+X, Ctrl+C or Ctrl+V to the field that has the focus.
  void SendKey(int key);
  void Sync();
  // Deletes the window once no command of the model is running.
  void DeleteWhenIdle();

  std::unique_ptr<Ui::NewMessage> ui_;
  std::unique_ptr<QtHost> host_;
  mail::NewMessage model_;
  bool syncing_ = false;
  bool closed_ = false;
  std::string shownBody_, shownLog_;
  std::vector<std::string> shownAttachments_;
};

// "Send &Mail": there is one composer window. It is made when there is none
// (or the last one was closed) and brought forward when it exists, keeping
// what it holds.
NewMessage& ShowComposer(QPointer<NewMessage>& composer, const MailSettings& settings,
                         const std::string& productPage);

}  // namespace zorvik::app
