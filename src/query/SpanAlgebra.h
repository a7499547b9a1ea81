#pragma once
// Set algorithms over spans, used by MatchSet. A span set is a sorted vector
// of distinct spans; its projections are the sorted distinct start and end
// positions. "Near" means |r.start - l.end| or |l.start - r.end| is below the
// distance; a spread is the span covering both.

#include <cstdint>
#include <functional>
#include <vector>

#include "query/clsMatch.h"

namespace zorvik::spans {

using Positions = std::vector<std::int64_t>;  // sorted, no repeats
using Spans = std::vector<clsMatch>;          // sorted by (start, end), no repeats

struct Projections {
  Positions starts;
  Positions ends;
};

// Bounds the work of one page test: long computations call back every so
// many steps (to yield, and to learn whether to give up), and no span set
// may grow past a limit. Once abandoned, every computation ends quickly with
// an incomplete result that the caller must not trust.
class Budget {
 public:
  Budget() = default;
  Budget(std::function<bool()> keepGoing, std::size_t maxSpans)
      : keepGoing_(std::move(keepGoing)), maxSpans_(maxSpans) {}

  // Counts `n` steps of work; false once the computation is abandoned.
  bool Step(std::size_t n = 1) {
    steps_ += n;
    if (steps_ >= kStepsPerCall) {
      steps_ = 0;
      if (keepGoing_ && !keepGoing_()) abandoned_ = true;
    }
    return !abandoned_;
  }
  // Whether a span set of `size` may be kept; abandons when not.
  bool Allows(std::size_t size) {
    if (size > maxSpans_) abandoned_ = tooLarge_ = true;
    return !abandoned_;
  }
  bool Abandoned() const { return abandoned_; }
  bool TooLarge() const { return tooLarge_; }
  std::size_t MaxSpans() const { return maxSpans_; }

 private:
  static constexpr std::size_t kStepsPerCall = 1 << 16;
  std::function<bool()> keepGoing_;
  std::size_t maxSpans_ = static_cast<std::size_t>(-1);
  std::size_t steps_ = 0;
  bool abandoned_ = false;
  bool tooLarge_ = false;
};

bool IsNear(const clsMatch& l, const clsMatch& r, std::int64_t distance);
clsMatch Spread(const clsMatch& a, const clsMatch& b);

void SortUnique(Positions& p);
void SortUnique(Spans& s);
Positions Union(const Positions& a, const Positions& b);
Spans Union(const Spans& a, const Spans& b);

Projections ProjectionsOf(const Spans& s);
// {min(x, y) : x in a, y in b} and {max(x, y) : x in a, y in b}.
Positions MinOfPairs(const Positions& a, const Positions& b);
Positions MaxOfPairs(const Positions& a, const Positions& b);
// Whether some x of a and y of b lie fewer than `distance` apart.
bool AnyWithin(const Positions& a, const Positions& b, std::int64_t distance);

// The projections of the spreads of all near pairs, without visiting the
// pairs: a few range queries per span, O((|l| + |r|) log).
Projections NearProjections(const Spans& l, const Spans& r, std::int64_t distance, Budget& budget);
// The spreads of all near pairs; visits every pair.
Spans NearSpreads(const Spans& l, const Spans& r, std::int64_t distance, Budget& budget);
// The spreads of all pairs.
Spans AllSpreads(const Spans& l, const Spans& r, Budget& budget);

}  // namespace zorvik::spans
