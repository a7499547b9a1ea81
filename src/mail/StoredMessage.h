#pragma once
// Reads the summary of a stored message file (raw RFC 5322 bytes, as a
// fetch writes them): Subject, From and Date, with RFC 2047 words decoded to
// UTF-8. Only the header block is parsed.

#include <string>
#include <string_view>

#include "mail/MailErrors.h"

namespace zorvik::mail {

struct StoredMessageSummary {
  std::string subject;
  std::string from;  // "Name <address>" or "address"
  std::string date;
};

// kErrBadFormat when the bytes do not begin with a header block holding at
// least one of From, Date, Subject, To or Message-ID.
MailStatus ReadStoredMessage(std::string_view bytes, StoredMessageSummary& out);

// kErrCannotOpenFile when the path is not a regular file that can be read.
MailStatus ReadStoredMessageFile(const std::string& path, StoredMessageSummary& out);

}  // namespace zorvik::mail
