#include "core/Text.h"

#include <algorithm>

namespace zorvik::text {

std::size_t InStr(std::size_t start, std::string_view haystack, std::string_view needle) {
  if (start == 0) start = 1;
  if (start > haystack.size()) return 0;
  if (needle.empty()) return start;
  const std::size_t at = haystack.find(needle, start - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t InStrNoCase(std::size_t start, std::string_view haystack, std::string_view needle) {
  if (start == 0) start = 1;
  if (start > haystack.size()) return 0;
  if (needle.empty()) return start;
  const auto eq = [](char a, char b) { return LowerAscii(a) == LowerAscii(b); };
  const auto from = haystack.begin() + static_cast<std::ptrdiff_t>(start - 1);
  const auto it = std::search(from, haystack.end(), needle.begin(), needle.end(), eq);
  return it == haystack.end() ? 0 : static_cast<std::size_t>(it - haystack.begin()) + 1;
}

std::string_view Mid(std::string_view s, std::size_t start, std::size_t length) {
  if (start == 0) start = 1;
  if (start > s.size()) return {};
  return s.substr(start - 1, length);
}

std::string_view Mid(std::string_view s, std::size_t start) {
  return Mid(s, start, std::string_view::npos);
}

std::string_view Left(std::string_view s, std::size_t length) { return s.substr(0, length); }

std::string_view Right(std::string_view s, std::size_t length) {
  return length >= s.size() ? s : s.substr(s.size() - length);
}

void LCaseInPlace(std::string& s) {
  for (char& c : s) c = LowerAscii(c);
}

std::string LCase(std::string_view s) {
  std::string out(s);
  LCaseInPlace(out);
  return out;
}

std::string_view LTrim(std::string_view s) {
  const auto at = s.find_first_not_of(' ');
  return at == std::string_view::npos ? std::string_view{} : s.substr(at);
}

std::string_view RTrim(std::string_view s) {
  const auto at = s.find_last_not_of(' ');
  return at == std::string_view::npos ? std::string_view{} : s.substr(0, at + 1);
}

std::string_view Trim(std::string_view s) { return RTrim(LTrim(s)); }

std::string_view TrimWhiteSpace(std::string_view s) {
  constexpr std::string_view kWhite = " \t\n\v\f\r";
  const std::size_t first = s.find_first_not_of(kWhite);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kWhite) - first + 1);
}

bool HasControlCharacter(std::string_view s) { return std::any_of(s.begin(), s.end(), IsControlCharacter); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return InStrNoCase(1, haystack, needle) != 0;
}

}  // namespace zorvik::text
