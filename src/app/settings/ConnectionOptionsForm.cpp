#include "app/settings/ConnectionOptionsForm.h"

#include <QStyle>

#include "app/settings/SelectAllOnEntry.h"
#include "app/shell/WindowPlacement.h"
#include "ui_ConnectionOptionsForm.h"

namespace zorvik::app {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* box) { return box->text().toStdString(); }
}  // namespace

ConnectionOptionsForm::ConnectionOptionsForm(Host& host, MailSettings& settings,
                                             const std::string& settingsFile,
                                             std::function<void()> showHelp, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ConnectionOptionsForm>()),
      model_(host, settings, settingsFile) {
  ui_->setupUi(this);
  ui_->Command1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  for (QLineEdit* box : {ui_->PopHost, ui_->PopUserName, ui_->PopPassword, ui_->SmtpHost,
                         ui_->Email, ui_->UserName})
    SelectAllOnEntry(*box);
  model_.showHelp = std::move(showHelp);
  connect(ui_->Ok, &QPushButton::clicked, this, &ConnectionOptionsForm::Ok_Click);
  connect(ui_->Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui_->Command1, &QToolButton::clicked, this, &ConnectionOptionsForm::Command1_Click);
  connect(ui_->Command2, &QPushButton::clicked, this, [this] { model_.Command2_Click(); });
  CentreOnScreen(*this);
  model_.Form_Load();
  Show();
}

ConnectionOptionsForm::~ConnectionOptionsForm() = default;

void ConnectionOptionsForm::Show() {
  ui_->PopHost->setText(Q(model_.PopHost));
  ui_->PopUserName->setText(Q(model_.PopUserName));
  ui_->PopPassword->setText(Q(model_.PopPassword));
  ui_->SmtpHost->setText(Q(model_.SmtpHost));
  ui_->Email->setText(Q(model_.Email));
  ui_->UserName->setText(Q(model_.UserName));
  ui_->Text1->setText(Q(model_.Text1));
  ui_->Text2->setText(Q(model_.Text2));
  ui_->Text3->setText(Q(model_.Text3));
  ui_->Text4->setText(Q(model_.Text4));
  ui_->Text5->setText(Q(model_.Text5));
}

void ConnectionOptionsForm::Take() {
  model_.PopHost = S(ui_->PopHost);
  model_.PopUserName = S(ui_->PopUserName);
  model_.PopPassword = S(ui_->PopPassword);
  model_.SmtpHost = S(ui_->SmtpHost);
  model_.Email = S(ui_->Email);
  model_.UserName = S(ui_->UserName);
  model_.Text1 = S(ui_->Text1);
  model_.Text2 = S(ui_->Text2);
  model_.Text3 = S(ui_->Text3);
  model_.Text4 = S(ui_->Text4);
  model_.Text5 = S(ui_->Text5);
}

void ConnectionOptionsForm::Ok_Click() {
  Take();
  if (model_.Ok_Click()) accept();
}

void ConnectionOptionsForm::Command1_Click() {
  model_.Text4 = S(ui_->Text4);
  model_.Command1_Click();
  ui_->Text4->setText(Q(model_.Text4));
}

}  // namespace zorvik::app
