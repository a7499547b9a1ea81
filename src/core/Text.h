#pragma once
// Text helpers with 1-based positions: position 1 is the first character and
// 0 means "not found". Rules written in terms of positions transcribe onto
// these without off-by-one errors. Page text is a byte string; case folding
// is ASCII only, so UTF-8 passes through unchanged.

#include <cstddef>
#include <string>
#include <string_view>

namespace zorvik::text {

// Position of the first occurrence of `needle` in `haystack` at or after
// position `start`, or 0. A start beyond the text finds nothing; an empty
// needle is found at `start`. Position 0 counts as 1.
std::size_t InStr(std::size_t start, std::string_view haystack, std::string_view needle);
inline std::size_t InStr(std::string_view haystack, std::string_view needle) {
  return InStr(1, haystack, needle);
}
// Same, comparing without regard to ASCII letter case.
std::size_t InStrNoCase(std::size_t start, std::string_view haystack, std::string_view needle);

// Up to `length` characters from position `start` (1-based); empty when start
// lies beyond the text. Mid without a length runs to the end.
std::string_view Mid(std::string_view s, std::size_t start, std::size_t length);
std::string_view Mid(std::string_view s, std::size_t start);
std::string_view Left(std::string_view s, std::size_t length);
std::string_view Right(std::string_view s, std::size_t length);

std::string LCase(std::string_view s);
void LCaseInPlace(std::string& s);
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Blanks (the space character only) removed from the start, the end, or both.
std::string_view LTrim(std::string_view s);
std::string_view RTrim(std::string_view s);
std::string_view Trim(std::string_view s);
// White space (blank, tab, line breaks, vertical tab, form feed) removed from
// both ends, as mail headers and host names are read.
std::string_view TrimWhiteSpace(std::string_view s);

// Control characters: bytes below 32, and 127. True when `s` holds one: such
// text must not reach a one-per-line file, where a line break would split it.
constexpr bool IsControlCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 32 || u == 127;
}
bool HasControlCharacter(std::string_view s);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

}  // namespace zorvik::text
