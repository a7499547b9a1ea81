#pragma once
// The list of stored messages shown when a retrieval ends: every "*.msg"
// file of a folder, by name in ascending byte order, each as subject, tab,
// sender, tab, date. Control characters in the header values (a decoded
// header may hold a line break) are shown as blanks, so every message is one
// line.

#include <filesystem>
#include <string>
#include <vector>

namespace zorvik {
class Host;
}

namespace zorvik::mail {

struct StoredMessageEntry {
  std::string name;         // file name, "12.msg"
  long long number = 0;     // its leading digits as a number (0 without any)
  std::string subject, from, date;
};

struct StoredMessageList {
  std::vector<StoredMessageEntry> entries;
  long long largest = 0;  // the largest number among the names

  // One line per entry: subject, tab, sender, tab, date.
  std::string Text() const;
};

// Reads the summary of every "*.msg" file in `folder` (a file that cannot be
// read is listed with empty fields). Yields through `host` between files.
StoredMessageList ListStoredMessages(const std::filesystem::path& folder, zorvik::Host& host);

}  // namespace zorvik::mail
