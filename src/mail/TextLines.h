#pragma once
// The lines of a text file the user picked (an address list, a text for the
// body): split at LF, a CR before the LF dropped, a last line without a line
// end kept, nothing else changed. Files up to kMaxAttachmentBytes.

#include <string>
#include <vector>

#include "mail/MailErrors.h"

namespace zorvik::mail {

MailStatus ReadTextLines(const std::string& path, std::vector<std::string>& lines);

}  // namespace zorvik::mail
