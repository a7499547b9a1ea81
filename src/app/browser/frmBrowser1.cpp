#include "app/browser/frmBrowser1.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/Icons.h"
#include "app/browser/BrowserPane.h"
#include "app/shell/WindowPlacement.h"
#include "ui_frmBrowser1.h"

namespace zorvik::app {

namespace {

constexpr int kTimerMs = 250;

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

frmBrowser1::frmBrowser1(std::string infoAddress, std::string homeAddress, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::frmBrowser1>()),
      model_(std::move(infoAddress), std::move(homeAddress)) {
  ui_->setupUi(this);
  setWindowIcon(DrawnIcon(IconName::Program));
  pane_ = CreateBrowserPane(this);
  pane_->setObjectName("brwWebBrowser");
  pane_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  delete ui_->layout->replaceWidget(ui_->brwWebBrowser, pane_);
  delete ui_->brwWebBrowser;
  ui_->brwWebBrowser = nullptr;

  const struct {
    const char* key;
    const char* text;
    IconName icon;
  } buttons[] = {{"Back", "Back", IconName::Back},          {"Forward", "Forward", IconName::Forward},
                 {"Refresh", "Refresh", IconName::Refresh}, {"Home", "Home", IconName::Home},
                 {"Search", "Search", IconName::Search},    {"Stop", "Stop", IconName::Stop}};
  for (const auto& b : buttons) {
    QAction* action = ui_->tbToolBar->addAction(DrawnIcon(b.icon), b.text);
    action->setObjectName(b.key);
    const QString key = b.key;
    connect(action, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
  }

  ui_->cboAddress->setEditText(Q(model_.cboAddress));
  connect(ui_->cboAddress->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.cboAddress = text.toStdString(); });
  // Enter in the address box, or an address chosen from its list.
  connect(ui_->cboAddress->lineEdit(), &QLineEdit::returnPressed, this, &frmBrowser1::cboAddress_Click);
  connect(ui_->cboAddress, &QComboBox::activated, this, &frmBrowser1::cboAddress_Click);

  connect(pane_, &BrowserPane::NavigateComplete, this, [this](const QUrl& url) {
    model_.NavigateComplete(pane_->LocationName().toStdString(), url.toString().toStdString());
    ShowModel();
  });
  connect(pane_, &BrowserPane::DocumentComplete, this, [this] {
    model_.DownloadComplete(pane_->LocationName().toStdString(), pane_->LocationURL().toString().toStdString());
    ShowModel();
  });
  timTimer_.setInterval(kTimerMs);
  connect(&timTimer_, &QTimer::timeout, this, &frmBrowser1::timTimer_Timer);

  connect(ui_->Command1, &QPushButton::clicked, this, [this] {
    pane_->Stop();
    hide();
  });
  connect(ui_->Command2, &QPushButton::clicked, this, [this] {
    emit UseInSpider(ui_->cboAddress->currentText().toStdString());
    hide();
  });
}

frmBrowser1::~frmBrowser1() = default;

void frmBrowser1::Open(bool reportReady, const std::string& searchedReport) {
  const bool starting = !model_.StartingAddress.empty();
  const std::string first = model_.FirstAddress(reportReady, searchedReport);
  CentreOnScreen(*this);
  show();
  ShowModel();
  if (starting) timTimer_.start();
  Navigate(first);
}

void frmBrowser1::Navigate(const std::string& address) { pane_->Navigate(PaneUrl(address)); }

void frmBrowser1::cboAddress_Click() {
  timTimer_.start();
  model_.cboAddress = ui_->cboAddress->currentText().toStdString();
  Navigate(model_.cboAddress);
}

void frmBrowser1::tbToolBar_ButtonClick(const QString& key) {
  timTimer_.start();
  if (key == "Back") {
    pane_->GoBack();
  } else if (key == "Forward") {
    pane_->GoForward();
  } else if (key == "Refresh") {
    pane_->Refresh();
  } else if (key == "Home") {
    Navigate(model_.HomeAddress());
  } else if (key == "Search") {
    // The home page's section on searching stands for a search page.
    QUrl url = PaneUrl(model_.HomeAddress());
    url.setFragment("search");
    pane_->Navigate(url);
  } else if (key == "Stop") {
    timTimer_.stop();
    pane_->Stop();
    model_.Caption = pane_->LocationName().toStdString();
    ShowModel();
  }
}

void frmBrowser1::timTimer_Timer() {
  if (!model_.TimerTick(pane_->Busy(), pane_->LocationName().toStdString())) timTimer_.stop();
  ShowModel();
}

void frmBrowser1::ShowModel() {
  setWindowTitle(Q(model_.Caption));
  // The window rewrites its own address box: no navigation comes of it.
  const QSignalBlocker quiet(ui_->cboAddress);
  const auto& list = model_.AddressList();
  bool same = ui_->cboAddress->count() == static_cast<int>(list.size());
  for (int i = 0; same && i < ui_->cboAddress->count(); ++i) same = ui_->cboAddress->itemText(i) == Q(list[i]);
  if (!same) {
    ui_->cboAddress->clear();
    for (const std::string& address : list) ui_->cboAddress->addItem(Q(address));
  }
  if (ui_->cboAddress->currentText() != Q(model_.cboAddress)) ui_->cboAddress->setEditText(Q(model_.cboAddress));
}

}  // namespace zorvik::app
