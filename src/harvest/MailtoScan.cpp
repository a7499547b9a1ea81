#include "harvest/MailtoScan.h"

#include <algorithm>

#include "core/Text.h"

namespace zorvik::harvest {

MailtoFind FindMailto(std::string_view page) {
  MailtoFind result;
  constexpr std::string_view kMailto = "\"mailto:";
  for (const std::string_view mark : {std::string_view("<"), std::string_view(">"),
                                      std::string_view("<a href="), std::string_view("\">"),
                                      std::string_view("<a href=\"mailto:")}) {
    if (page.find(mark) == std::string_view::npos) return result;
  }
  const std::size_t mailto = page.find(kMailto);
  if (mailto == std::string_view::npos) return result;
  result.found = true;
  result.cutAt = mailto + kMailto.size();
  const std::size_t quote = page.find('"', result.cutAt);
  if (quote != std::string_view::npos) result.address = page.substr(result.cutAt, quote - result.cutAt);
  // A control character ends the address too: a line break in it would
  // forge lines of the URL file.
  const auto control = std::find_if(result.address.begin(), result.address.end(), text::IsControlCharacter);
  result.address = result.address.substr(0, static_cast<std::size_t>(control - result.address.begin()));
  return result;
}

std::string MailtoScan(std::string& pageText) {
  const MailtoFind find = FindMailto(pageText);
  if (!find.found) return {};
  std::string address(find.address);
  pageText.erase(0, find.cutAt);
  return address;
}

}  // namespace zorvik::harvest
