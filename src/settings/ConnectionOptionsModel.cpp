#include "settings/ConnectionOptionsModel.h"

#include <array>
#include <utility>

#include "core/Host.h"
#include "core/ProgramDirectory.h"
#include "settings/FieldChecks.h"
#include "settings/SettingsFile.h"

namespace zorvik {

ConnectionOptionsModel::ConnectionOptionsModel(Host& host, MailSettings& settings,
                                               std::string settingsFile)
    : host_(host), settings_(settings), settingsFile_(std::move(settingsFile)) {}

void ConnectionOptionsModel::Form_Load() {
  PopHost = settings_.PopHost;
  PopUserName = settings_.PopUserName;
  PopPassword = settings_.PopPassword;
  SmtpHost = settings_.SmtpHost;
  Email = settings_.Email;
  UserName = settings_.UserName;
  Text1 = settings_.NoticeSender;
  Text2 = settings_.NoticeAddress;
  Text3 = settings_.NoticePhone;
  Text5 = std::to_string(settings_.TimeOut);
  Text4 = settings_.MailDirectory;
}

void ConnectionOptionsModel::Command1_Click() {
  if (auto dir = host_.ChooseFolder("Maildirectory", ProgramDirectory().string())) Text4 = *dir;
}

void ConnectionOptionsModel::Command2_Click() {
  if (showHelp) showHelp();
}

bool ConnectionOptionsModel::Ok_Click() {
  const std::array<std::pair<const char*, const std::string*>, 10> boxes{{
      {"POP Host", &PopHost},
      {"User Name", &PopUserName},
      {"Password", &PopPassword},
      {"SMTP Host", &SmtpHost},
      {"E-Mail address", &Email},
      {"From Name", &UserName},
      {"Sender", &Text1},
      {"Address", &Text2},
      {"Phone", &Text3},
      {"Maildirectory", &Text4},
  }};
  for (const auto& [label, value] : boxes) {
    if (RefuseLineBreak(host_, kCaption, label, *value)) return false;
  }
  const auto timeOut = ParseTimeOut(Text5);
  if (!timeOut) {
    host_.MsgBox("\"TimeOut\" must be a whole number of seconds from 0 to 32767.", MsgButtons::Ok,
                 MsgIcon::Exclamation, kCaption);
    return false;
  }
  settings_.PopHost = PopHost;
  settings_.PopUserName = PopUserName;
  settings_.PopPassword = PopPassword;
  settings_.SmtpHost = SmtpHost;
  settings_.Email = Email;
  settings_.UserName = UserName;
  settings_.NoticeSender = Text1;
  settings_.NoticeAddress = Text2;
  settings_.NoticePhone = Text3;
  settings_.TimeOut = *timeOut;
  if (!SaveSettingsFile(settingsFile_, settings_, Text4)) {
    // The values hold for this run all the same.
    host_.MsgBox("The settings could not be saved to \"" + settingsFile_ + "\".", MsgButtons::Ok,
                 MsgIcon::Exclamation, kCaption);
  }
  return true;
}

}  // namespace zorvik
