#include "mail/StoredMessageList.h"

#include <algorithm>
#include <system_error>

#include "core/Host.h"
#include "mail/StoredMessage.h"

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

long long LeadingNumber(const std::string& name) {
  long long n = 0;
  for (char c : name) {
    if (c < '0' || c > '9' || n > 99'999'999'999'999) break;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

std::string StoredMessageList::Text() const {
  std::string out;
  for (const StoredMessageEntry& e : entries) {
    out += e.subject;
    out += '\t';
    out += e.from;
    out += '\t';
    out += e.date;
    out += '\n';
  }
  return out;
}

StoredMessageList ListStoredMessages(const fs::path& folder, zorvik::Host& host) {
  StoredMessageList list;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".msg" || !it->is_regular_file(ec)) continue;
    StoredMessageEntry entry;
    entry.name = it->path().filename().string();
    entry.number = LeadingNumber(entry.name);
    list.largest = std::max(list.largest, entry.number);
    list.entries.push_back(std::move(entry));
  }
  std::sort(list.entries.begin(), list.entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  for (StoredMessageEntry& e : list.entries) {
    StoredMessageSummary summary;
    if (ReadStoredMessageFile((folder / e.name).string(), summary).ok()) {
      e.subject = OneLine(std::move(summary.subject));
      e.from = OneLine(std::move(summary.from));
      e.date = OneLine(std::move(summary.date));
    }
    host.DoEvents();
  }
  return list;
}

}  // namespace zorvik::mail
