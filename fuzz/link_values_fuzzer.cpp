// Fuzz target: the quoted-value scan of link extraction over any page text.
// Every value must be text between two double quotes after the attribute,
// the scan must move forward at every step, and it must end; an address made
// of a value never holds a control character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Text.h"
#include "crawler/AddressHelpers.h"
#include "crawler/LinkExtraction.h"

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string_view attribute : {std::string_view("href"), std::string_view("src")}) {
    std::size_t pos = 1;
    std::size_t steps = 0;
    std::size_t last = 0;
    while (pos > 0) {
      const std::size_t before = pos;
      const std::string value = zorvik::NextQuotedValue(text, pos, attribute);
      Check(++steps <= size + 1);
      if (pos == 0) break;
      Check(pos > before || (pos == before && !value.empty()) || pos > last);
      Check(pos <= size + 1);
      if (!value.empty()) {
        // pos is just after the opening quote; the value runs to the next quote.
        Check(text[pos - 2] == '"');
        Check(text.substr(pos - 1, value.size()) == value);
        Check(pos - 1 + value.size() < size && text[pos - 1 + value.size()] == '"');
        Check(value.find('"') == std::string::npos);
      }
      last = pos;
      // Addresses built from values go through the address helpers.
      (void)HandyStuff::DirectoryPart(value);
      (void)HandyStuff::ServerPart(value);
      const std::string address = zorvik::ResolveLinkValue(value, "http://s.example", "http://s.example/d/", true);
      Check(!zorvik::text::HasControlCharacter(address));
      Check(address.empty() || address.ends_with(value));
    }
  }
  return 0;
}
