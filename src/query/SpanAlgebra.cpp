#include "query/SpanAlgebra.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace zorvik::spans {

namespace {

constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kNoneHigh = std::numeric_limits<std::int64_t>::max();

bool Within(std::int64_t a, std::int64_t b, std::int64_t distance) {
  const std::int64_t d = a - b;
  return d < distance && -d < distance;
}

// Minimum or maximum of a range of a fixed array (an iterative segment tree).
class RangeExtreme {
 public:
  RangeExtreme(const std::vector<std::int64_t>& values, bool maximum)
      : n_(values.size()), maximum_(maximum), tree_(2 * values.size()) {
    std::copy(values.begin(), values.end(), tree_.begin() + static_cast<std::ptrdiff_t>(n_));
    for (std::size_t i = n_; i-- > 1;) tree_[i] = Pick(tree_[2 * i], tree_[2 * i + 1]);
  }
  // Over indices [lo, hi); kNone (maximum) or kNoneHigh (minimum) when empty.
  std::int64_t Query(std::size_t lo, std::size_t hi) const {
    std::int64_t out = maximum_ ? kNone : kNoneHigh;
    for (lo += n_, hi += n_; lo < hi; lo /= 2, hi /= 2) {
      if (lo & 1) out = Pick(out, tree_[lo++]);
      if (hi & 1) out = Pick(out, tree_[--hi]);
    }
    return out;
  }

 private:
  std::int64_t Pick(std::int64_t a, std::int64_t b) const { return maximum_ ? std::max(a, b) : std::min(a, b); }
  std::size_t n_;
  bool maximum_;
  std::vector<std::int64_t> tree_;
};

// A span set ready for range questions; bounds are inclusive.
class SpanIndex {
 public:
  explicit SpanIndex(const Spans& s) : minEndByStart_(EndsInStartOrder(s), false), maxStartByEnd_({}, true) {
    for (const clsMatch& m : s) starts_.push_back(m.StartingPosition);
    std::vector<const clsMatch*> byEnd;
    for (const clsMatch& m : s) byEnd.push_back(&m);
    std::sort(byEnd.begin(), byEnd.end(),
              [](const clsMatch* a, const clsMatch* b) { return a->EndingPosition < b->EndingPosition; });
    std::vector<std::int64_t> startsInEndOrder;
    for (const clsMatch* m : byEnd) {
      ends_.push_back(m->EndingPosition);
      startsInEndOrder.push_back(m->StartingPosition);
    }
    maxStartByEnd_ = RangeExtreme(startsInEndOrder, true);
  }

  bool AnyStartIn(std::int64_t lo, std::int64_t hi) const {
    const auto [a, b] = Count(starts_, lo, hi);
    return a < b;
  }
  bool AnyEndIn(std::int64_t lo, std::int64_t hi) const {
    const auto [a, b] = Count(ends_, lo, hi);
    return a < b;
  }
  std::int64_t MaxStartWithEndIn(std::int64_t lo, std::int64_t hi) const {
    const auto [a, b] = Count(ends_, lo, hi);
    return maxStartByEnd_.Query(a, b);
  }
  std::int64_t MinEndWithStartIn(std::int64_t lo, std::int64_t hi) const {
    const auto [a, b] = Count(starts_, lo, hi);
    return minEndByStart_.Query(a, b);
  }

 private:
  static std::vector<std::int64_t> EndsInStartOrder(const Spans& s) {
    std::vector<std::int64_t> ends;
    for (const clsMatch& m : s) ends.push_back(m.EndingPosition);
    return ends;
  }
  // The index range of the sorted values within [lo, hi].
  static std::pair<std::size_t, std::size_t> Count(const std::vector<std::int64_t>& sorted, std::int64_t lo,
                                                   std::int64_t hi) {
    if (lo > hi) return {0, 0};
    const auto a = std::lower_bound(sorted.begin(), sorted.end(), lo);
    const auto b = std::upper_bound(a, sorted.end(), hi);
    return {static_cast<std::size_t>(a - sorted.begin()), static_cast<std::size_t>(b - sorted.begin())};
  }

  std::vector<std::int64_t> starts_;  // in start order
  std::vector<std::int64_t> ends_;    // sorted
  RangeExtreme minEndByStart_;
  RangeExtreme maxStartByEnd_;
};

// Collects spreads, dropping repeats whenever the buffer fills, and abandons
// the budget when even the distinct spreads do not fit.
class SpreadCollector {
 public:
  explicit SpreadCollector(Budget& budget) : budget_(budget), limit_(std::min<std::size_t>(budget.MaxSpans(), 1 << 20)) {}
  bool Add(const clsMatch& m) {
    out_.push_back(m);
    if (out_.size() < limit_) return budget_.Step();
    SortUnique(out_);
    if (!budget_.Allows(out_.size() + out_.size() / 2)) return false;
    limit_ = std::min(budget_.MaxSpans(), 2 * out_.size() + (1 << 20));
    return budget_.Step();
  }
  Spans Take() {
    SortUnique(out_);
    budget_.Allows(out_.size());
    return std::move(out_);
  }

 private:
  Budget& budget_;
  std::size_t limit_;
  Spans out_;
};

}  // namespace

bool IsNear(const clsMatch& l, const clsMatch& r, std::int64_t distance) {
  return Within(r.StartingPosition, l.EndingPosition, distance) ||
         Within(l.StartingPosition, r.EndingPosition, distance);
}

clsMatch Spread(const clsMatch& a, const clsMatch& b) {
  return {std::min(a.StartingPosition, b.StartingPosition), std::max(a.EndingPosition, b.EndingPosition)};
}

void SortUnique(Positions& p) {
  if (!std::is_sorted(p.begin(), p.end())) std::sort(p.begin(), p.end());
  p.erase(std::unique(p.begin(), p.end()), p.end());
}

void SortUnique(Spans& s) {
  if (!std::is_sorted(s.begin(), s.end())) std::sort(s.begin(), s.end());
  s.erase(std::unique(s.begin(), s.end()), s.end());
}

Positions Union(const Positions& a, const Positions& b) {
  Positions out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

Spans Union(const Spans& a, const Spans& b) {
  Spans out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

Projections ProjectionsOf(const Spans& s) {
  Projections p;
  for (const clsMatch& m : s) {
    p.starts.push_back(m.StartingPosition);
    p.ends.push_back(m.EndingPosition);
  }
  SortUnique(p.starts);
  SortUnique(p.ends);
  return p;
}

// x survives when some y is not smaller, and the other way round: the
// prefixes of both up to the other's largest.
Positions MinOfPairs(const Positions& a, const Positions& b) {
  if (a.empty() || b.empty()) return {};
  Positions out;
  std::set_union(a.begin(), std::upper_bound(a.begin(), a.end(), b.back()), b.begin(),
                 std::upper_bound(b.begin(), b.end(), a.back()), std::back_inserter(out));
  return out;
}

// Likewise the suffixes from the other's smallest.
Positions MaxOfPairs(const Positions& a, const Positions& b) {
  if (a.empty() || b.empty()) return {};
  Positions out;
  std::set_union(std::lower_bound(a.begin(), a.end(), b.front()), a.end(),
                 std::lower_bound(b.begin(), b.end(), a.front()), b.end(), std::back_inserter(out));
  return out;
}

bool AnyWithin(const Positions& a, const Positions& b, std::int64_t distance) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (Within(a[i], b[j], distance)) return true;
    if (a[i] < b[j]) ++i; else ++j;
  }
  return false;
}

// The spread of a near pair (l, r) starts at l.start when r starts no
// earlier, else at r.start; it ends at l.end when r ends no later, else at
// r.end. So a start or end belongs to the result exactly when some near
// partner lies on the right side of it, and each such question is a range
// question over the partner set:
//   near(l, r)  <=>  r.start in (l.end - d, l.end + d)  or  r.end in (l.start - d, l.start + d)
Projections NearProjections(const Spans& l, const Spans& r, std::int64_t d, Budget& budget) {
  Projections p;
  if (l.empty() || r.empty()) return p;
  const SpanIndex li(l);
  const SpanIndex ri(r);
  for (const clsMatch& x : l) {
    const std::int64_t s = x.StartingPosition;
    const std::int64_t e = x.EndingPosition;
    if (ri.AnyStartIn(std::max(e - d + 1, s), e + d - 1) || ri.MaxStartWithEndIn(s - d + 1, s + d - 1) >= s)
      p.starts.push_back(s);
    if (ri.MinEndWithStartIn(e - d + 1, e + d - 1) <= e || ri.AnyEndIn(s - d + 1, std::min(s + d - 1, e)))
      p.ends.push_back(e);
    if (!budget.Step(8)) return p;
  }
  for (const clsMatch& y : r) {
    const std::int64_t s = y.StartingPosition;
    const std::int64_t e = y.EndingPosition;
    if (li.MaxStartWithEndIn(s - d + 1, s + d - 1) > s || li.AnyStartIn(std::max(e - d + 1, s + 1), e + d - 1))
      p.starts.push_back(s);
    if (li.AnyEndIn(s - d + 1, std::min(s + d - 1, e - 1)) || li.MinEndWithStartIn(e - d + 1, e + d - 1) < e)
      p.ends.push_back(e);
    if (!budget.Step(8)) return p;
  }
  SortUnique(p.starts);
  SortUnique(p.ends);
  return p;
}

Spans NearSpreads(const Spans& l, const Spans& r, std::int64_t d, Budget& budget) {
  SpreadCollector out(budget);
  if (l.empty() || r.empty()) return out.Take();
  std::vector<const clsMatch*> byEnd;
  for (const clsMatch& m : r) byEnd.push_back(&m);
  std::sort(byEnd.begin(), byEnd.end(),
            [](const clsMatch* a, const clsMatch* b) { return a->EndingPosition < b->EndingPosition; });
  for (const clsMatch& x : l) {
    // partners whose start lies near x's end ...
    auto y = std::lower_bound(r.begin(), r.end(), x.EndingPosition - d + 1,
                              [](const clsMatch& m, std::int64_t v) { return m.StartingPosition < v; });
    for (; y != r.end() && y->StartingPosition < x.EndingPosition + d; ++y)
      if (!out.Add(Spread(x, *y))) return {};
    // ... and those whose end lies near x's start, not counted already
    auto z = std::lower_bound(byEnd.begin(), byEnd.end(), x.StartingPosition - d + 1,
                              [](const clsMatch* m, std::int64_t v) { return m->EndingPosition < v; });
    for (; z != byEnd.end() && (*z)->EndingPosition < x.StartingPosition + d; ++z)
      if (!Within((*z)->StartingPosition, x.EndingPosition, d) && !out.Add(Spread(x, **z))) return {};
  }
  return out.Take();
}

Spans AllSpreads(const Spans& l, const Spans& r, Budget& budget) {
  SpreadCollector out(budget);
  for (const clsMatch& x : l)
    for (const clsMatch& y : r)
      if (!out.Add(Spread(x, y))) return {};
  return out.Take();
}

}  // namespace zorvik::spans
