// Fuzz target: the mailto scan on page text from anywhere. It must never
// crash or read outside the text, and must agree with a plain reading of its
// rule by 1-based positions: the six marks, the cut after the first
// "\"mailto:", the address up to the next double quote or control character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Text.h"
#include "harvest/MailtoScan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zorvik;
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  std::string expectedText(page);
  std::string expectedAddress;
  bool all = true;
  for (const char* mark : {"<", ">", "<a href=", "\"mailto:", "<a href=\"mailto:", "\">"}) {
    all = all && text::InStr(page, mark) != 0;
  }
  if (all) {
    expectedText = std::string(text::Mid(page, text::InStr(page, "\"mailto:") + 8));
    const std::size_t q = text::InStr(expectedText, "\"");
    if (q != 0) expectedAddress = std::string(text::Left(expectedText, q - 1));
    for (std::size_t i = 0; i < expectedAddress.size(); ++i) {
      if (text::IsControlCharacter(expectedAddress[i])) {
        expectedAddress.resize(i);
        break;
      }
    }
  }
  std::string pageText(page);
  const std::string address = harvest::MailtoScan(pageText);
  if (address != expectedAddress || pageText != expectedText) __builtin_trap();
  return 0;
}
