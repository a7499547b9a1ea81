#pragma once
// One span of the prepared page text.

#include <compare>
#include <cstdint>
#include <iosfwd>

namespace zorvik {

// A span of the prepared text: 1-based StartingPosition, and EndingPosition
// one past the last character for a word occurrence. Positions are 64-bit:
// a page of any length keeps its true positions, so "near" judges a word late
// in a long page correctly. A match never changes once made, so lists may
// share it freely; copying one is the same as sharing it.
struct clsMatch {
  std::int64_t StartingPosition = 0;
  std::int64_t EndingPosition = 0;

  friend bool operator==(const clsMatch&, const clsMatch&) = default;
  friend auto operator<=>(const clsMatch&, const clsMatch&) = default;
};

std::ostream& operator<<(std::ostream& out, const clsMatch& match);

}  // namespace zorvik
