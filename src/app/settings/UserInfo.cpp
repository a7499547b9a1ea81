#include "app/settings/UserInfo.h"

#include "app/settings/SelectAllOnEntry.h"
#include "ui_UserInfo.h"

namespace zorvik::app {

UserInfo::UserInfo(Host& host, MailSettings& settings, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::UserInfo>()), model_(host, settings) {
  ui_->setupUi(this);
  SelectAllOnEntry(*ui_->Email);
  SelectAllOnEntry(*ui_->UserName);
  connect(ui_->Ok, &QPushButton::clicked, this, &UserInfo::Ok_Click);
  connect(ui_->Cancel, &QPushButton::clicked, this, &QDialog::reject);
  model_.Form_Load();
  ui_->Email->setText(QString::fromStdString(model_.Email));
  ui_->UserName->setText(QString::fromStdString(model_.UserName));
}

UserInfo::~UserInfo() = default;

void UserInfo::Ok_Click() {
  model_.Email = ui_->Email->text().toStdString();
  model_.UserName = ui_->UserName->text().toStdString();
  if (model_.Ok_Click()) accept();
}

}  // namespace zorvik::app
