#include "settings/UserInfoModel.h"

#include "settings/FieldChecks.h"

namespace zorvik {

UserInfoModel::UserInfoModel(Host& host, MailSettings& settings)
    : host_(host), settings_(settings) {}

void UserInfoModel::Form_Load() {
  Email = settings_.Email;
  UserName = settings_.UserName;
}

bool UserInfoModel::Ok_Click() {
  if (RefuseLineBreak(host_, kCaption, "E-Mail address", Email) ||
      RefuseLineBreak(host_, kCaption, "From Name", UserName))
    return false;
  settings_.Email = Email;
  settings_.UserName = UserName;
  return true;
}

}  // namespace zorvik
