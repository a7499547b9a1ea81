// Fuzz target: the stored-message reader, which parses files that came from
// any POP3 server. It must never crash, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/StoredMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zorvik::mail::StoredMessageSummary summary;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const zorvik::mail::MailStatus status = zorvik::mail::ReadStoredMessage(bytes, summary);
  if (!status.ok() && !(summary.subject.empty() && summary.from.empty() && summary.date.empty()))
    __builtin_trap();  // a refused file must leave nothing behind
  return 0;
}
