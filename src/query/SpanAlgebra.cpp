#include "query/SpanAlgebra.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace zorvik::spans {

namespace {

constexpr Wide kNoEnd = std::numeric_limits<Wide>::max() / 4;
constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

bool Within(Wide a, Wide b, Wide distance) {
  const Wide d = a - b;
  return d < distance && -d < distance;
}

// The first index in [lo, hi) whose span starts at `target` or later, or hi.
std::size_t FirstStartFrom(const SpanView& v, std::size_t lo, std::size_t hi, Wide target) {
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (v.Start(mid) < target) lo = mid + 1; else hi = mid;
  }
  return lo;
}

// The first index at or after `from` whose span starts at `target` or later,
// galloping: cheap when it lies close to `from`.
std::size_t GallopStart(const SpanView& v, std::size_t from, Wide target) {
  const std::size_t n = v.size();
  if (from >= n || v.Start(from) >= target) return from;
  std::size_t lo = from;  // starts before target
  std::size_t step = 1;
  while (lo + step < n && v.Start(lo + step) < target) {
    lo += step;
    step *= 2;
  }
  return FirstStartFrom(v, lo + 1, std::min(n, lo + step + 1), target);
}

// Finds the first span starting at a value or later; cheap when the values
// asked for mostly grow.
class StartCursor {
 public:
  explicit StartCursor(const SpanView& v) : v_(v) {}
  std::size_t Seek(Wide target) {
    i_ = (i_ > 0 && v_.Start(i_ - 1) >= target) ? FirstStartFrom(v_, 0, i_, target) : GallopStart(v_, i_, target);
    return i_;
  }

 private:
  const SpanView& v_;
  std::size_t i_ = 0;
};

// The smallest end among the spans from index i on.
class SuffixMinEnd {
 public:
  SuffixMinEnd(const SpanView& v, Budget& budget) : v_(v), mins_(budget.NewPositions()) {
    if (v.OneLength()) return;  // ends grow with the index
    mins_.resize(v.size());
    Wide m = kNoEnd;
    for (std::size_t i = v.size(); i-- > 0;) {
      m = std::min(m, v.End(i));
      mins_[i] = static_cast<Pos>(m);
    }
    budget.Step(v.size());
  }
  Wide From(std::size_t i) const {
    if (i >= v_.size()) return kNoEnd;
    return v_.OneLength() ? v_.End(i) : Wide{mins_[i]};
  }

 private:
  const SpanView& v_;
  Positions mins_;
};

// Sorts by a key of `bits` bits in a few linear passes of up to 11 bits:
// the page test sorts millions of spans, and a step of work should cost
// about the same whatever it does.
template <class T, class Key>
void RadixSort(Vec<T>& v, Key key, int bits, Budget& budget) {
  const std::size_t n = v.size();
  const int passes = (bits + 10) / 11;
  budget.Step(n * static_cast<std::uint64_t>(passes + 1));
  if (n < 2 || passes == 0) return;
  if (n < 256) {
    std::sort(v.begin(), v.end(), [&](const T& a, const T& b) { return key(a) < key(b); });
    return;
  }
  const int digit = (bits + passes - 1) / passes;
  const std::uint64_t mask = (std::uint64_t{1} << digit) - 1;
  Vec<T> other(n, T{}, budget.Alloc<T>());
  Vec<std::size_t> at(std::size_t{1} << digit, 0, budget.Alloc<std::size_t>());
  for (int pass = 0; pass < passes; ++pass) {
    const int shift = pass * digit;
    std::fill(at.begin(), at.end(), 0);
    for (const T& x : v) ++at[(key(x) >> shift) & mask];
    std::size_t sum = 0;
    for (std::size_t& c : at) sum += std::exchange(c, sum);
    for (const T& x : v) other[at[(key(x) >> shift) & mask]++] = x;
    v.swap(other);
  }
}

// By (start, end), on the bits in which the spans differ.
void RadixSort(Spans& v, Budget& budget) {
  if (v.empty()) return;
  Pos minS = v[0].s, maxS = v[0].s, minE = v[0].e, maxE = v[0].e;
  for (const Span& x : v) {
    minS = std::min(minS, x.s);
    maxS = std::max(maxS, x.s);
    minE = std::min(minE, x.e);
    maxE = std::max(maxE, x.e);
  }
  const int endBits = std::bit_width(maxE - minE);
  RadixSort(
      v, [&](const Span& x) { return (static_cast<std::uint64_t>(x.s - minS) << endBits) | (x.e - minE); },
      endBits + std::bit_width(maxS - minS), budget);
}

void RadixSort(Positions& v, Budget& budget) {
  if (v.empty()) return;
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  const Pos least = *lo;
  RadixSort(v, [&](Pos x) { return static_cast<std::uint64_t>(x - least); }, std::bit_width(*hi - least), budget);
}

// A span set turned around (SpanView::Mirror), sorted again.
struct Mirrored {
  Mirrored(const SpanView& v, Budget& budget) : held(budget.NewSpans()) {
    if (v.OneLength()) {
      view = v.MirroredOneLength();
      return;
    }
    held.resize(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
      held[i] = {static_cast<Pos>(SpanView::Mirror(v.End(i))), static_cast<Pos>(SpanView::Mirror(v.Start(i)))};
    RadixSort(held, budget);
    view = SpanView(held);
  }
  Spans held;
  SpanView view;
};

void Unmirror(Positions& p) {
  std::reverse(p.begin(), p.end());
  for (Pos& x : p) x = static_cast<Pos>(SpanView::Mirror(x));
}

void Push(Positions& out, Wide x) {
  if (out.empty() || out.back() != x) out.push_back(static_cast<Pos>(x));
}

// The sorted union of a[aFrom, aTo) and b[bFrom, bTo).
Positions MergeUnique(PosView a, std::size_t aFrom, std::size_t aTo, PosView b, std::size_t bFrom, std::size_t bTo,
                      Budget& budget) {
  Positions out = budget.NewPositions();
  while (aFrom < aTo || bFrom < bTo) {
    budget.Step();
    if (bFrom >= bTo || (aFrom < aTo && a[aFrom] <= b[bFrom])) Push(out, a[aFrom++]);
    else Push(out, b[bFrom++]);
  }
  return out;
}

// The starts of the spreads of all near pairs (x, y), x from one set and y
// from the other. The spread of a near pair starts at x.s when y starts no
// earlier, so x.s is a start exactly when some y with y.s >= x.s is near x:
// either y starts within the distance of x's end, or y ends within it of
// x.s, and then all of y lies in [x.s, x.s + d): the smallest end of the
// spans starting at x.s or later tells.
Positions StartsOfNear(const SpanView& l, const SpanView& r, Wide d, Budget& budget) {
  Positions out = budget.NewPositions();
  if (l.empty() || r.empty()) return out;
  const SuffixMinEnd lMin(l, budget);
  const SuffixMinEnd rMin(r, budget);
  StartCursor lFrom(l), lWindow(l), rFrom(r), rWindow(r);
  const auto starts = [d](const SpanView& other, const SuffixMinEnd& otherMin, StartCursor& from,
                          StartCursor& window, Wide s, Wide e) {
    if (otherMin.From(from.Seek(s)) < s + d) return true;
    const std::size_t j = window.Seek(std::max(s, e - d + 1));
    return j < other.size() && other.Start(j) < e + d;
  };
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < l.size() || j < r.size()) {
    budget.Step();
    const bool fromLeft = j >= r.size() || (i < l.size() && l.Start(i) <= r.Start(j));
    const Wide s = fromLeft ? l.Start(i) : r.Start(j);
    const bool known = !out.empty() && out.back() == s;
    if (fromLeft) {
      if (!known && starts(r, rMin, rFrom, rWindow, s, l.End(i))) out.push_back(static_cast<Pos>(s));
      ++i;
    } else {
      if (!known && starts(l, lMin, lFrom, lWindow, s, r.End(j))) out.push_back(static_cast<Pos>(s));
      ++j;
    }
  }
  return out;
}

// Appends the spans p of `outer` that hold a span q of `inner` near them:
// their spread is p itself. q lies in p and is near it when it starts
// within d of p's end, or ends within d of p's start.
void HoldingNear(const SpanView& outer, const SpanView& inner, Wide d, Spans& out, Budget& budget) {
  const SuffixMinEnd innerMin(inner, budget);
  StartCursor from(inner), window(inner);
  for (std::size_t i = 0; i < outer.size(); ++i) {
    budget.Step();
    const Wide s = outer.Start(i);
    const Wide e = outer.End(i);
    if (innerMin.From(from.Seek(s)) <= std::min(s + d - 1, e) ||
        innerMin.From(window.Seek(std::max(s, e - d + 1))) <= e) {
      out.push_back({static_cast<Pos>(s), static_cast<Pos>(e)});
    }
  }
}

// Appends the spreads (x.s, y.e) of the near pairs with y.s >= x.s and
// y.e > x.e, for x of `x` and y of `y` (mirrored: turned around again).
// The spans of x are taken a start s at a time, with their ends e1 < e2 < ...:
//  - y ends within d of s: then y lies in [s, s + d), and any e below y.e
//    will do;
//  - y starts within d of some e below y.e: walking the windows
//    [e - d, e + d) in order, each y is met once, in the window of the
//    smallest e near it, and if that e is not below y.e no later one is.
// A spread (s, y.e) where y.e is one of the ends and y is shorter than d is
// a span of x holding y near its end: HoldingNear has it already.
void ExtendRight(const SpanView& x, const SpanView& y, Wide d, bool mirrored, Spans& out, Budget& budget) {
  const std::size_t ny = y.size();
  StartCursor nearStart(y), firstWindow(y);
  for (std::size_t g = 0; g < x.size();) {
    const Wide s = x.Start(g);
    std::size_t groupEnd = g + 1;
    while (groupEnd < x.size() && x.Start(groupEnd) == s) ++groupEnd;
    std::size_t known = g;  // for one-length y, whose ends come in order: the first end not below y.e
    const auto emit = [&](Wide ye, Wide yLength) {
      if (y.OneLength() && yLength < d) {
        while (known < groupEnd && x.End(known) < ye) ++known;
        if (known < groupEnd && x.End(known) == ye) return;
      }
      if (mirrored) out.push_back({static_cast<Pos>(SpanView::Mirror(ye)), static_cast<Pos>(SpanView::Mirror(s))});
      else out.push_back({static_cast<Pos>(s), static_cast<Pos>(ye)});
    };
    const Wide firstEnd = x.End(g);
    // (the windows below hold every y starting from firstEnd - d + 1 on)
    const Wide nearStartEnd = std::min(s + d, firstEnd - d + 1);
    for (std::size_t k = nearStart.Seek(s); k < ny && y.Start(k) < nearStartEnd; ++k) {
      budget.Step();
      const Wide ye = y.End(k);
      if (ye > firstEnd && ye < s + d) emit(ye, ye - y.Start(k));
    }
    std::size_t k = firstWindow.Seek(std::max(s, firstEnd - d + 1));
    for (std::size_t i = g; i < groupEnd; ++i) {
      budget.Step();
      const Wide e = x.End(i);
      k = GallopStart(y, k, std::max(s, e - d + 1));
      for (; k < ny && y.Start(k) < e + d; ++k) {
        budget.Step();
        if (y.End(k) > e) emit(y.End(k), y.End(k) - y.Start(k));
      }
    }
    g = groupEnd;
  }
}

}  // namespace

Budget::Budget() : Budget(std::numeric_limits<std::size_t>::max(), kNoLimit) {}

Budget::Budget(std::size_t maxBytes, std::uint64_t maxSteps)
    : memory_(std::make_shared<Memory>(maxBytes)),
      maxSteps_(maxSteps),
      checkAt_(maxSteps == kNoLimit ? kNoLimit : maxSteps + 1) {}

void Budget::CallEvery(std::function<bool()> keepGoing) {
  keepGoing_ = std::move(keepGoing);
  nextCall_ = steps_ + kStepsPerCall;
  checkAt_ = std::min(nextCall_, maxSteps_ == kNoLimit ? kNoLimit : maxSteps_ + 1);
}

void Budget::Check() {
  if (steps_ > maxSteps_) throw GiveUp{};
  if (steps_ >= nextCall_) {
    nextCall_ = steps_ + kStepsPerCall;
    if (!keepGoing_()) throw GiveUp{true};
  }
  checkAt_ = std::min(nextCall_, maxSteps_ == kNoLimit ? kNoLimit : maxSteps_ + 1);
}

void SortUnique(Positions& p, Budget& budget) {
  RadixSort(p, budget);
  p.erase(std::unique(p.begin(), p.end()), p.end());
}

void SortUnique(Spans& s, Budget& budget) {
  RadixSort(s, budget);
  s.erase(std::unique(s.begin(), s.end()), s.end());
}

// x survives when some y is not smaller, and the other way round: the
// prefixes of both up to the other's largest.
Positions MinOfPairs(PosView a, PosView b, Budget& budget) {
  if (a.empty() || b.empty()) return budget.NewPositions();
  std::size_t aTo = 0;
  std::size_t bTo = 0;
  while (aTo < a.size() && a[aTo] <= b[b.size() - 1]) ++aTo;
  while (bTo < b.size() && b[bTo] <= a[a.size() - 1]) ++bTo;
  budget.Step(aTo + bTo);
  return MergeUnique(a, 0, aTo, b, 0, bTo, budget);
}

// Likewise the suffixes from the other's smallest.
Positions MaxOfPairs(PosView a, PosView b, Budget& budget) {
  if (a.empty() || b.empty()) return budget.NewPositions();
  std::size_t aFrom = 0;
  std::size_t bFrom = 0;
  while (aFrom < a.size() && a[aFrom] < b[0]) ++aFrom;
  while (bFrom < b.size() && b[bFrom] < a[0]) ++bFrom;
  budget.Step(aFrom + bFrom);
  return MergeUnique(a, aFrom, a.size(), b, bFrom, b.size(), budget);
}

bool AnyWithin(PosView a, PosView b, Wide distance, Budget& budget) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    budget.Step();
    if (Within(a[i], b[j], distance)) return true;
    if (a[i] < b[j]) ++i; else ++j;
  }
  return false;
}

// The ends are the starts of the mirrored sets, turned around again.
Projections NearProjections(const SpanView& l, const SpanView& r, Wide distance, Budget& budget) {
  Projections p{StartsOfNear(l, r, distance, budget), budget.NewPositions()};
  {
    const Mirrored ml(l, budget);
    const Mirrored mr(r, budget);
    p.ends = StartsOfNear(ml.view, mr.view, distance, budget);
  }
  Unmirror(p.ends);
  return p;
}

// A near pair (l, r) spreads to l when r lies in l, to r when l lies in r,
// to (l.s, r.e) when r reaches further right only, and to (r.s, l.e) when
// it reaches further left only; the last is the third, mirrored.
Spans NearSpreads(const SpanView& l, const SpanView& r, Wide distance, Budget& budget) {
  Spans out = budget.NewSpans();
  if (l.empty() || r.empty()) return out;
  HoldingNear(l, r, distance, out, budget);
  HoldingNear(r, l, distance, out, budget);
  ExtendRight(l, r, distance, false, out, budget);
  {
    const Mirrored ml(l, budget);
    const Mirrored mr(r, budget);
    ExtendRight(ml.view, mr.view, distance, true, out, budget);
  }
  SortUnique(out, budget);
  return out;
}

bool IsNear(const clsMatch& l, const clsMatch& r, std::int64_t distance) {
  return Within(r.StartingPosition, l.EndingPosition, distance) ||
         Within(l.StartingPosition, r.EndingPosition, distance);
}

clsMatch Spread(const clsMatch& a, const clsMatch& b) {
  return {std::min(a.StartingPosition, b.StartingPosition), std::max(a.EndingPosition, b.EndingPosition)};
}

}  // namespace zorvik::spans
