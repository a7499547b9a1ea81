#include "app/shell/MailForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QTextOption>
#include <QThread>
#include <fstream>
#include <iterator>

#include "app/QtHost.h"
#include "app/browser/BrowserPane.h"
#include "app/browser/frmBrowser1.h"
#include "app/robot/frmWebRobot.h"
#include "app/settings/ConnectionOptionsForm.h"
#include "app/settings/UserInfo.h"
#include "app/shell/Form2.h"
#include "app/shell/Form6.h"
#include "app/shell/ShippedPages.h"
#include "app/shell/WindowPlacement.h"
#include "core/ProgramDirectory.h"
#include "core/SearchState.h"
#include "crawler/CurlInet.h"
#include "engines/EngineEndpoints.h"
#include "engines/WebRobot.h"
#include "settings/SettingsFile.h"
#include "shell/ProgramAddresses.h"
#include "ui_MailForm.h"

namespace zorvik::app {

namespace {

// The error number the banner message gives for an address the pane
// cannot take (an invalid argument).
constexpr int kBannerAddressError = 5;

// Tab stops of the stored-message list, in list units (a quarter of the
// average character width).
constexpr int kTabStops[] = {125, 275, 500};

// The program's own addresses from the endpoints file, read quietly: the
// robot window reports the lines it cannot use.
EngineEndpoints ReadEndpoints() {
  EngineEndpoints endpoints;
  const auto file = ShippedFile(EngineEndpoints::kFileName);
  if (!file) return endpoints;
  std::ifstream in(*file, std::ios::binary);
  if (in) endpoints.Parse(std::string(std::istreambuf_iterator<char>(in), {}));
  return endpoints;
}

// Ends the program's event loop (it returns once the handlers below it have
// unwound). Unlike quit(), no window is asked again: one that is finishing a
// command closes when it has. Nothing to end while no loop runs.
void EndProgram() {
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

std::string OrDefault(std::string value, const char* fallback) {
  return value.empty() ? std::string(fallback) : value;
}

}  // namespace

MailForm::MailForm(QtHost& host, MailSettings& settings, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::MailForm>()),
      host_(host),
      settings_(settings),
      retrieval_(host),
      inet1_(std::make_unique<CurlInet>(host)) {
  ui_->setupUi(this);
  for (QAction* action : ui_->mnuFile->actions()) {
    if (action->isSeparator()) action->setObjectName(QStringLiteral("mnuDelFile"));
  }
  web_ = CreateBrowserPane(ui_->WebFrame);
  web_->setObjectName(QStringLiteral("Web"));
  ui_->WebFrame->layout()->addWidget(web_);

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  ui_->textBody->setFont(fixed);
  QList<QTextOption::Tab> tabs;
  const qreal unit = QFontMetrics(fixed).averageCharWidth() / 4.0;
  for (int stop : kTabStops) tabs.append(QTextOption::Tab(stop * unit, QTextOption::LeftTab));
  QTextOption option = ui_->textBody->document()->defaultTextOption();
  option.setTabs(tabs);
  ui_->textBody->document()->setDefaultTextOption(option);

  const EngineEndpoints endpoints = ReadEndpoints();
  productPage_ = OrDefault(endpoints.PageAddress("ProductPage"), kDefaultProductPage);
  updateCheck_ = OrDefault(endpoints.PageAddress("UpdateCheck"), kDefaultUpdateCheck);
  banner_ = endpoints.PageAddress("Banner");

  connect(ui_->mnuScan, &QAction::triggered, this, &MailForm::mnuScan_Click);
  connect(ui_->Command1, &QPushButton::clicked, this, &MailForm::mnuScan_Click);
  connect(ui_->mnuGetMail, &QAction::triggered, this, &MailForm::mnuGetMail_Click);
  connect(ui_->mnuSendMail, &QAction::triggered, this, [this] {
    if (sendMail_) sendMail_();
  });
  connect(ui_->mnuUpdates, &QAction::triggered, this, &MailForm::mnuUpdates_Click);
  connect(ui_->FileExit, &QAction::triggered, this, &MailForm::FileExit_Click);
  connect(ui_->SettingsUser, &QAction::triggered, this, &MailForm::SettingsUser_Click);
  connect(ui_->SettingsConnection, &QAction::triggered, this, &MailForm::SettingsConnection_Click);
  connect(ui_->mnuUs, &QAction::triggered, this, &MailForm::mnuUs_Click);
  connect(ui_->mnuHelp, &QAction::triggered, this, &MailForm::ShowHelp);
  connect(ui_->chkHostDelete, &QCheckBox::clicked, this, [this](bool ticked) {
    retrieval_.chkHostDelete = ticked;
    retrieval_.chkHostDelete_Click();
    Sync();
  });
  connect(ui_->chkTrace, &QCheckBox::clicked, this, [this](bool ticked) {
    retrieval_.chkTrace = ticked;
    retrieval_.chkTrace_Click();
    Sync();
  });
  connect(ui_->chkBlocking, &QCheckBox::clicked, this, [this](bool ticked) {
    retrieval_.chkBlocking = ticked;
    retrieval_.chkBlocking_Click();
    Sync();
  });
  retrieval_.changed = [this] { Sync(); };
}

MailForm::~MailForm() {
  retrieval_.changed = nullptr;
  // The update window uses Inet1, and every window opened from here goes
  // before the main window's own parts.
  delete update_;
  delete about_;
  delete robot_;
}

void MailForm::Form_Load() {
  if (windowState() == Qt::WindowNoState) CentreOnScreen(*this);
  if (banner_.empty()) {
    const QString page = ShippedPage(QStringLiteral("banner.htm"));
    web_->Navigate(page.isEmpty() ? QUrl(QStringLiteral("qrc:/pages/banner.htm"))
                                  : QUrl::fromLocalFile(page));
  } else {
    ShowBanner(banner_);
  }
  if (!LoadSettingsFile(SettingsFilePath(), settings_)) {
    ConnectionOptionsForm dialog(host_, settings_, SettingsFilePath().string(),
                                 [this] { ShowHelp(); }, this);
    PlaceDialog(dialog);
    dialog.exec();
  }
  ApplyLoadDefaults(settings_);
  retrieval_.ShowBlockingMode();
  Sync();
  show();
}

void MailForm::PlaceDialog(QWidget& dialog) {
  // At start-up the window has its place but is not shown yet.
  if (isVisible()) {
    PlaceOverMainWindow(dialog, this);
  } else {
    dialog.move(OverMainWindow(geometry(), dialog.size()));
  }
}

void MailForm::ShowBanner(const std::string& address) {
  const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
  if (!url.isValid()) {
    host_.MsgBox("Unable to load '" + address + "' : " + url.errorString().toStdString() +
                     " (Error " + std::to_string(kBannerAddressError) + ")",
                 MsgButtons::Ok, MsgIcon::Exclamation, "Zorvik");
    return;
  }
  web_->Navigate(url);
}

void MailForm::Sync() {
  ui_->chkHostDelete->setChecked(retrieval_.chkHostDelete);
  ui_->chkTrace->setChecked(retrieval_.chkTrace);
  ui_->chkBlocking->setChecked(retrieval_.chkBlocking);
  ui_->lblPercentage->setText(QString::fromStdString(retrieval_.lblPercentage));
  if (retrieval_.textBody != shownBody_) {
    shownBody_ = retrieval_.textBody;
    ui_->textBody->setPlainText(QString::fromStdString(shownBody_));
  }
  ui_->mnuGetMail->setEnabled(retrieval_.mnuGetMailEnabled);
}

void MailForm::mnuScan_Click() {
  if (!robot_) {
    if (!robotFactory_) return;
    robot_ = robotFactory_();
    if (!robot_) return;
  }
  robot_->show();
  robot_->raise();
  robot_->activateWindow();
}

void MailForm::mnuGetMail_Click() {
  retrieval_.mnuGetMail_Click(settings_, settings_.MailDirectory);
  Sync();
}

void MailForm::FileExit_Click() {
  // At once: a running search stops at its next look at the flags and the
  // event loop ends; nothing asks the other windows first.
  ProcessSearchState().StopRequested = 1;
  ProcessSearchState().StopPressed = true;
  host_.CancelDialogs();
  EndProgram();
}

void MailForm::SettingsUser_Click() {
  UserInfo dialog(host_, settings_, this);
  PlaceDialog(dialog);
  dialog.exec();
}

void MailForm::SettingsConnection_Click() {
  ConnectionOptionsForm dialog(host_, settings_, SettingsFilePath().string(), [this] { ShowHelp(); },
                               this);
  PlaceDialog(dialog);
  dialog.exec();
}

void MailForm::mnuUs_Click() {
  if (!about_) {
    about_ = new Form2(host_, productPage_, this);
    about_->setAttribute(Qt::WA_DeleteOnClose);
  }
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void MailForm::mnuUpdates_Click() {
  if (!update_) {
    update_ = new Form6(*inet1_, updateCheck_, this);
    update_->setAttribute(Qt::WA_DeleteOnClose);
  }
  update_->show();
  update_->raise();
  update_->activateWindow();
}

void MailForm::ShowHelp() {
  // Without a page or a viewer nothing is reported.
  const QString page = ShippedPage(QStringLiteral("zorvik.htm"));
  if (page.isEmpty()) return;
  if (host_.ShellOpen(page.toStdString())) return;
  ShowInInternalBrowser(page);
}

frmBrowser1* MailForm::HelpBrowser() const { return helpBrowser_; }

void MailForm::ShowInInternalBrowser(const QString& page) {
  if (helpBrowser_) {
    helpBrowser_->show();
    helpBrowser_->raise();
    helpBrowser_->Pane()->Navigate(QUrl::fromLocalFile(page));
    return;
  }
  const QString home = ShippedPage(QStringLiteral("home.htm"));
  helpBrowser_ = new frmBrowser1(page.toStdString(), home.isEmpty() ? page.toStdString() : home.toStdString(), this);
  helpBrowser_->setAttribute(Qt::WA_DeleteOnClose);
  // "Use in Dorvane's Spider": the address goes to the robot window.
  connect(helpBrowser_, &frmBrowser1::UseInSpider, this, [this](const std::string& address) {
    mnuScan_Click();
    if (auto* robot = qobject_cast<frmWebRobot*>(robot_.data())) {
      robot->Robot().Form().txtURL = address;
      robot->SyncNow();
    }
  });
  helpBrowser_->Model().StartingAddress = page.toStdString();
  helpBrowser_->Open(false, std::string());
}

void MailForm::closeEvent(QCloseEvent* event) {
  // Every other window first, each as its own close box would close it (a
  // running search is stopped and finishes its files), then this one, which
  // ends the program.
  host_.CancelDialogs();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window != this && window->isVisible()) window->close();
  }
  event->accept();
  EndProgram();
}

}  // namespace zorvik::app
