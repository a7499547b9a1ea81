#pragma once
// The "Connection Options" dialog without its window: the values of its text
// boxes and its commands. Opening fills the boxes from the settings record;
// "Ok" checks them, copies them into the record (all but the mail directory,
// which takes effect at the next start) and rewrites the settings file.

#include <functional>
#include <string>

#include "settings/MailSettings.h"

namespace zorvik {

class Host;

class ConnectionOptionsModel {
 public:
  static constexpr const char* kCaption = "Connection Options";

  // `settingsFile` is where "Ok" saves (SettingsFilePath() in the program).
  ConnectionOptionsModel(Host& host, MailSettings& settings, std::string settingsFile);

  // The text boxes, named as the window names them.
  std::string PopHost, PopUserName, PopPassword, SmtpHost, Email, UserName;
  std::string Text1;  // notice: "Sender:"
  std::string Text2;  // notice: "Address:"
  std::string Text3;  // notice: "Phone:"
  std::string Text4;  // "Maildirectory:"
  std::string Text5 = "60";  // "TimeOut:" in seconds

  // Fills the boxes from the record.
  void Form_Load();
  // The browse button beside Text4: a folder chosen in the folder chooser
  // (starting in the program directory) goes into Text4; cancelling keeps it.
  void Command1_Click();
  // "Help": opens the help page.
  void Command2_Click();
  // "Ok": true when the dialog closes. A box holding a line break, or a
  // time-out that is not a whole number from 0 to 32767, is refused with a
  // message naming the field, and the dialog stays open.
  bool Ok_Click();
  // "Cancel" changes nothing.

  // Opens the help page; set by the program.
  std::function<void()> showHelp;

 private:
  Host& host_;
  MailSettings& settings_;
  std::string settingsFile_;
};

}  // namespace zorvik
