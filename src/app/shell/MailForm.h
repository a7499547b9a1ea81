#pragma once
// "Zorvik", the window the program starts with. It loads the mail settings,
// shows a banner, runs the POP3 retrieval (MailRetrieval) with its three
// check boxes and progress label, and opens every other window from its
// menus: the search robot, the two settings dialogs, the update window and
// the About box. Closing it closes every other window first and ends the
// program; "Exit" ends it at once.

#include <QMainWindow>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>

#include "mail/MailRetrieval.h"
#include "settings/MailSettings.h"

namespace Ui {
class MailForm;
}

namespace zorvik {
class CurlInet;
}

namespace zorvik::app {

class BrowserPane;
class Form2;
class Form6;
class QtHost;
class frmBrowser1;

class MailForm : public QMainWindow {
  Q_OBJECT
 public:
  MailForm(QtHost& host, MailSettings& settings, QWidget* parent = nullptr);
  ~MailForm() override;

  // Start-up, in this order: centre on the screen, point the banner pane at
  // the banner, load the settings file (or, when there is none, ask for the
  // settings in "Connection Options" first), apply the defaults, show the
  // component's Blocking mode, show the window.
  void Form_Load();

  // Makes the robot window when it is first asked for; the window returned
  // is shown, and brought forward when asked for again while it exists.
  void SetRobotWindowFactory(std::function<QWidget*()> factory) { robotFactory_ = std::move(factory); }
  QWidget* RobotWindow() const { return robot_; }
  // What "Send Mail" does (opens the composer, once there is one).
  void SetSendMail(std::function<void()> sendMail) { sendMail_ = std::move(sendMail); }

  mail::MailRetrieval& Retrieval() { return retrieval_; }
  // The product page of the endpoints file, or the default one.
  const std::string& ProductPage() const { return productPage_; }
  BrowserPane* Web() const { return web_; }

  // The help page, with the desktop's handler or else the program's own
  // browser window (made on first use).
  void ShowHelp();
  frmBrowser1* HelpBrowser() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void mnuScan_Click();
  void mnuGetMail_Click();
  void FileExit_Click();
  void SettingsUser_Click();
  void SettingsConnection_Click();
  void mnuUs_Click();
  void mnuUpdates_Click();
  void ShowBanner(const std::string& address);
  void ShowInInternalBrowser(const QString& page);
  // Places a dialog over this window.
  void PlaceDialog(QWidget& dialog);
  // Brings the widgets up to date with the retrieval.
  void Sync();

  std::unique_ptr<Ui::MailForm> ui_;
  QtHost& host_;
  MailSettings& settings_;
  mail::MailRetrieval retrieval_;
  std::unique_ptr<CurlInet> inet1_;  // the update check's transfers
  BrowserPane* web_ = nullptr;
  std::string productPage_;
  std::string updateCheck_;
  std::string banner_;  // from the endpoints file; empty: the shipped banner page
  std::function<QWidget*()> robotFactory_;
  std::function<void()> sendMail_;
  QPointer<QWidget> robot_;
  QPointer<Form2> about_;
  QPointer<Form6> update_;
  QPointer<frmBrowser1> helpBrowser_;
  std::string shownBody_;
};

}  // namespace zorvik::app
