#pragma once
// Boundaries of multipart parts: reading the caller's, checking them, drawing
// new ones of the form "<decimal number>_boundary", and finding the lines of
// encoded text that a delimiter could be mistaken for.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "mail/PartTree.h"

namespace zorvik::mail {

// "--" and the longest boundary: as much of a line as a delimiter can use.
constexpr std::size_t kDelimiterPrefix = 72;
constexpr std::string_view kBoundarySuffix = "_boundary";

// The boundary of a multipart part as the caller gave it: the "boundary"
// parameter of its ContentParameters when there is one, else its Boundary.
std::string EffectiveBoundary(const MimePart& part);

// Where the value of the "boundary" parameter of a parameter list lies
// (quotes included), or nothing.
std::optional<std::pair<std::size_t, std::size_t>> BoundaryValueSpan(std::string_view params);

// RFC 2046: 1 to 70 characters of a fixed set, not ending in a space.
bool IsValidBoundary(std::string_view b);

// The number N of a line that starts "--N_boundary", or "".
std::string DrawnNumberOf(std::string_view line);

// A new boundary: a whole number below 10^11 and "_boundary".
std::string DrawBoundary();

// Finds the lines of encoded text that begin with "--" and hands the first
// characters of each (as much as a delimiter could use) to `found`.
class DelimiterScan {
 public:
  template <typename Found>
  void Feed(std::string_view text, Found&& found) {
    std::size_t pos = 0;
    while (pos < text.size()) {
      if (collecting_) {
        while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n' &&
               line_.size() < kDelimiterPrefix)
          line_ += text[pos++];
        if (pos == text.size() && line_.size() < kDelimiterPrefix) return;
        collecting_ = false;
        atLineStart_ = false;
        if (line_.starts_with("--")) found(std::string_view(line_));
      } else if (atLineStart_) {
        atLineStart_ = false;
        if (text[pos] == '-') {
          collecting_ = true;
          line_.clear();
        }
      } else {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) return;
        pos = nl + 1;
        atLineStart_ = true;
      }
    }
  }
  template <typename Found>
  void Finish(Found&& found) {
    if (collecting_ && line_.starts_with("--")) found(std::string_view(line_));
    collecting_ = false;
  }

 private:
  bool atLineStart_ = true;
  bool collecting_ = false;
  std::string line_;
};

}  // namespace zorvik::mail
