#pragma once
// The fixed texts the composer puts into a message: the bulk-mail notice
// at the top of the body (A over a body, B in place of an empty one) and the
// footer that ends every message text. Lines end with CRLF; the last piece of
// notice B and of the footer has none.

#include <string>

#include "settings/MailSettings.h"

namespace zorvik::mail {

// Notice A: the notice lines, a line of 38 asterisks, then `body`.
std::string NoticeA(const MailSettings& settings, const std::string& body);
// Notice B: the notice lines up to the phone number, nothing after it.
std::string NoticeB(const MailSettings& settings);
// The footer: 37 asterisks, the legal lines when `withLegalLines`, and the
// "Sent using Zorvik" line that ends with `productPage`.
std::string Footer(bool withLegalLines, const std::string& productPage);

}  // namespace zorvik::mail
