#include "app/Program.h"

#include <QApplication>

#include "app/Icons.h"
#include "app/QtHost.h"
#include "app/browser/WebPane.h"
#include "app/mail/NewMessage.h"
#include "app/robot/frmWebRobot.h"
#include "app/shell/MailForm.h"
#include "core/ProgramDirectory.h"
#include "core/SearchState.h"
#include "settings/MailSettings.h"

namespace zorvik::app {

void PrepareProgram() { PrepareBrowserEngine(); }

Program::Program() {
  QApplication::setApplicationName("zorvik");
  QApplication::setApplicationDisplayName("Zorvik");
  QApplication::setWindowIcon(DrawnIcon(IconName::Program));
  SetBrowserPaneFactory([](QWidget* parent) { return new WebPane(parent); });
  host_ = std::make_unique<QtHost>();
  mainWindow_ = std::make_unique<MailForm>(*host_, ProcessMailSettings());
  mainWindow_->SetRobotWindowFactory(
      [] { return new frmWebRobot(ProcessSearchState(), ProgramDirectory()); });
  mainWindow_->SetSendMail(
      [this] { ShowComposer(composer_, ProcessMailSettings(), mainWindow_->ProductPage()); });
}

Program::~Program() {
  delete composer_;
  mainWindow_.reset();
  host_.reset();
}

void Program::Start() { mainWindow_->Form_Load(); }

NewMessage* Program::Composer() const { return composer_; }

}  // namespace zorvik::app
