#pragma once
// The user dialog: the user's e-mail address and name, for this run. A thin
// window over UserInfoModel.

#include <QDialog>
#include <memory>

#include "settings/UserInfoModel.h"

namespace Ui {
class UserInfo;
}

namespace zorvik::app {

class UserInfo : public QDialog {
  Q_OBJECT
 public:
  UserInfo(Host& host, MailSettings& settings, QWidget* parent = nullptr);
  ~UserInfo() override;

 private:
  void Ok_Click();

  std::unique_ptr<Ui::UserInfo> ui_;
  UserInfoModel model_;
};

}  // namespace zorvik::app
