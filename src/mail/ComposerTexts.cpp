#include "mail/ComposerTexts.h"

namespace zorvik::mail {
namespace {

std::string NoticeLines(const MailSettings& s, const char* removalLine) {
  return std::string(" U.S. SENATE BILL Title III PUBLIC NOTICE:(see below)\r\n") +
         "Writer/Sender: " + s.NoticeSender + "\r\n" +  //
         "Address: " + s.NoticeAddress + "\r\n" +       //
         removalLine + "\r\n" +                         //
         "Phone: " + s.NoticePhone;
}

}  // namespace

std::string NoticeA(const MailSettings& settings, const std::string& body) {
  return NoticeLines(settings, "Advertising, Removal: Write \"Remove in subject\"") + "\r\n" +
         std::string(38, '*') + "\r\n" + body;
}

std::string NoticeB(const MailSettings& settings) {
  return NoticeLines(settings, "Advertising, Removal: Write Remove in subject");
}

std::string Footer(bool withLegalLines, const std::string& productPage) {
  std::string footer = std::string(37, '*') + "\r\n";
  if (withLegalLines) {
    footer +=
        "BULK E-MAIL SENATE BILL (We comply with this Bill)\r\n"
        " Title III: Spamming - Requires a person who transmits an unsolicited commercial "
        "electronic mail message to include at the beginning of the body of the message: (1) the "
        "name, physical address, electronic mail address, and telephone number of the person who "
        "initiates transmission of the message or who created the content of it; and\r\n"
        " (2) a statement that further transmissions of such mail to the recipient by the person "
        "may be stopped at no cost to the recipient by sending a reply to the originating "
        "electronic mail address with the word REMOVE in the subject line.\r\n";
  }
  return footer + "Sent using Zorvik, the ultimate Search Engine software. Get your copy at " +
         productPage;
}

}  // namespace zorvik::mail
