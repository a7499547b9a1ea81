#pragma once
// Finding a word in the prepared text: a plain, exact substring search,
// fast on pages of many megabytes.

#include <cstddef>
#include <string_view>

namespace zorvik::words {

// Offset (0-based) of the first occurrence of `word` in `text` at or after
// `from`, or npos. The empty word is never found.
std::size_t FindFrom(std::string_view text, std::size_t from, std::string_view word);

}  // namespace zorvik::words
