#pragma once
// Serialises the message held by the component: the RFC 5322 header block
// and the MIME part tree, with CRLF line ends throughout. Bcc is never
// written. Values from callers are checked first: a line break in any header
// value, an unknown transfer encoding or an unusable boundary refuses the
// whole message with kErrInvalidEntry.

#include <string>

#include "mail/MailErrors.h"
#include "mail/PartTree.h"

namespace zorvik::mail {

struct MessageHeaders {
  std::string from;
  std::string to;
  std::string cc;
  std::string subject;
  std::string date;       // written as given
  std::string messageId;  // "<...@...>"
};

MailStatus WriteMessage(const MessageHeaders& headers, const MimePart& root, std::string& out);

// The boundary of a multipart part as it will be written: the "boundary"
// parameter of its ContentParameters when there is one, else its Boundary.
std::string EffectiveBoundary(const MimePart& part);

}  // namespace zorvik::mail
