#pragma once
// The user dialog without its window: the user's e-mail address and name.
// "Ok" copies both into the settings record; the file is not written (the
// values reach it the next time the connection dialog is saved).

#include <string>

#include "settings/MailSettings.h"

namespace zorvik {

class Host;

class UserInfoModel {
 public:
  static constexpr const char* kCaption = "User Information";

  UserInfoModel(Host& host, MailSettings& settings);

  std::string Email;     // "E-Mail address:"
  std::string UserName;  // "From Name:"

  void Form_Load();
  // True when the dialog closes; a value holding a line break is refused
  // with a message naming the field.
  bool Ok_Click();

 private:
  Host& host_;
  MailSettings& settings_;
};

}  // namespace zorvik
