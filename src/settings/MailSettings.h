#pragma once
// The mail settings: servers, account, the user's address and name, the
// three lines of the bulk-mail notice, the mail directory and a time-out.
// One record lives for the whole run; the main window loads it from the
// settings file at start-up, the "Connection Options" dialog edits every
// field and rewrites the file, the "User Information" dialog edits the
// address and name in memory only. The composer reads Email, SmtpHost and
// the notice fields when it sends.

#include <cstdint>
#include <string>

namespace zorvik {

struct MailSettings {
  std::string PopHost;      // POP3 server, "name[:port]"
  std::string PopUserName;  // POP3 account
  std::string PopPassword;  // kept and stored exactly as typed
  std::string SmtpHost;     // SMTP server, "name[:port]"
  std::string Email;        // the user's own address; the sender of every message
  std::string UserName;     // the user's display name
  std::string NoticeSender;   // bulk-mail notice: sender line
  std::string NoticeAddress;  // bulk-mail notice: postal address line
  std::string NoticePhone;    // bulk-mail notice: phone line
  // Where fetched messages are kept (in its "Inbox" folder). Read from the
  // file at start-up only: a new value saved by the dialog takes effect at
  // the next start.
  std::string MailDirectory;
  // Seconds; 0 until the file has been read, 60 when the file holds 0.
  std::int16_t TimeOut = 0;

  bool operator==(const MailSettings&) const = default;
};

// The record the program runs with. Logic classes take a MailSettings& so
// that tests can give each case a fresh one.
MailSettings& ProcessMailSettings();

}  // namespace zorvik
