#include "query/SpanMatrix.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace zorvik::spans {

namespace {

using Word = std::uint64_t;
constexpr Pos kNone = std::numeric_limits<Pos>::max();
// Matrices of up to this many positions (8 MB each).
constexpr std::size_t kMostPositions = 8192;

bool Bit(const Word* r, std::size_t p) { return (r[p / 64] >> (p % 64)) & 1; }
void SetBit(Word* r, std::size_t p) { r[p / 64] |= Word{1} << (p % 64); }

// Operations on rows of `words` words holding `positions` bits. Only the
// words from `from` on are read and written: the spans of row s end at s or
// later, so the words below s / 64 are left alone (and taken as empty).
struct RowOps {
  std::size_t words;
  std::size_t positions;
  std::size_t from = 0;

  void Clear(Word* r) const { std::fill(r + from, r + words, 0); }
  void Copy(Word* out, const Word* in) const { std::copy(in + from, in + words, out + from); }
  void Or(Word* out, const Word* in) const {
    for (std::size_t i = from; i < words; ++i) out[i] |= in[i];
  }
  void And(Word* out, const Word* in) const {
    for (std::size_t i = from; i < words; ++i) out[i] &= in[i];
  }
  // Bit p of `in` to bit p + k of `out`, or'ed into out when Add (out may be in).
  template <bool Add>
  void ShiftUp(Word* out, const Word* in, std::size_t k) const {
    const std::size_t q = k / 64;
    const unsigned b = k % 64;
    for (std::size_t i = words; i-- > from;) {
      Word v = 0;
      if (i >= from + q) {
        v = in[i - q] << b;
        if (b != 0 && i >= from + q + 1) v |= in[i - q - 1] >> (64 - b);
      }
      out[i] = Add ? out[i] | v : v;
    }
    if (positions % 64 != 0) out[words - 1] &= (Word{1} << (positions % 64)) - 1;
  }
  // Bit p + k of `in` to bit p of `out`, or'ed into out when Add (out may be in).
  template <bool Add>
  void ShiftDown(Word* out, const Word* in, std::size_t k) const {
    const std::size_t q = k / 64;
    const unsigned b = k % 64;
    for (std::size_t i = from; i < words; ++i) {
      Word v = 0;
      if (i + q < words) {
        v = in[i + q] >> b;
        if (b != 0 && i + q + 1 < words) v |= in[i + q + 1] << (64 - b);
      }
      out[i] = Add ? out[i] | v : v;
    }
  }
  // Clears the bits outside [lo, hi].
  void Keep(Word* r, Wide lo, Wide hi) const {
    lo = std::max<Wide>(lo, static_cast<Wide>(from * 64));
    hi = std::min<Wide>(hi, static_cast<Wide>(positions) - 1);
    if (lo > hi) {
      Clear(r);
      return;
    }
    const auto a = static_cast<std::size_t>(lo) / 64;
    const auto b = static_cast<std::size_t>(hi) / 64;
    std::fill(r + from, r + a, 0);
    std::fill(r + b + 1, r + words, 0);
    r[a] &= ~Word{0} << (lo % 64);
    r[b] &= ~Word{0} >> (63 - hi % 64);
  }
  // out = the bits of `in` moved up (or down) by every k in [a, b], a <= b.
  template <bool Up>
  void Smear(Word* out, const Word* in, std::size_t a, std::size_t b) const {
    if (Up) ShiftUp<false>(out, in, a); else ShiftDown<false>(out, in, a);
    const std::size_t width = b - a + 1;
    if (width >= 64) {
      Fill<Up>(out, width);
      return;
    }
    // In doubling steps, so that bits moved out of the row are never needed back.
    std::size_t covered = 1;
    for (; covered * 2 <= width; covered *= 2) {
      if (Up) ShiftUp<true>(out, out, covered); else ShiftDown<true>(out, out, covered);
    }
    if (covered < width) {
      if (Up) ShiftUp<true>(out, out, width - covered); else ShiftDown<true>(out, out, width - covered);
    }
  }
  // Sets the `width` - 1 >= 63 bits above (or below) every set bit, in one
  // pass: within a word, everything past its first set bit, and whatever
  // the set bits of the words passed already reach.
  template <bool Up>
  void Fill(Word* r, std::size_t width) const {
    const auto reachOf = static_cast<Wide>(width) - 1;
    if (Up) {
      Wide reach = -1;  // the last position covered so far
      for (std::size_t i = from; i < words; ++i) {
        const Word v = r[i];
        const auto base = static_cast<Wide>(i * 64);
        Word w = 0;
        if (reach >= base) w = reach - base >= 63 ? ~Word{0} : (Word{2} << (reach - base)) - 1;
        if (v != 0) {
          w |= ~Word{0} << std::countr_zero(v);
          reach = std::max(reach, base + 63 - std::countl_zero(v) + reachOf);
        }
        r[i] = w;
      }
      if (positions % 64 != 0) r[words - 1] &= (Word{1} << (positions % 64)) - 1;
    } else {
      Wide reach = static_cast<Wide>(words) * 64;  // the first position covered so far
      for (std::size_t i = words; i-- > from;) {
        const Word v = r[i];
        const auto base = static_cast<Wide>(i * 64);
        Word w = 0;
        if (reach <= base + 63) w = reach <= base ? ~Word{0} : ~Word{0} << (reach - base);
        if (v != 0) {
          w |= std::countl_zero(v) == 0 ? ~Word{0} : (Word{2} << (63 - std::countl_zero(v))) - 1;
          reach = std::min(reach, base + std::countr_zero(v) - reachOf);
        }
        r[i] = w;
      }
    }
  }
  // out = the bits of `in` moved by every delta in [lo, hi] (up when positive).
  void Spread(Word* out, const Word* in, Wide lo, Wide hi, Word* tmp) const {
    Clear(out);
    if (lo > hi) return;
    if (hi >= 0) Smear<true>(out, in, static_cast<std::size_t>(std::max<Wide>(lo, 0)), static_cast<std::size_t>(hi));
    if (lo < 0) {
      Smear<false>(tmp, in, static_cast<std::size_t>(std::max<Wide>(-hi, 1)), static_cast<std::size_t>(-lo));
      Or(out, tmp);
    }
  }
  // The lowest set bit, or kNone.
  Pos First(const Word* r) const {
    for (std::size_t i = from; i < words; ++i)
      if (r[i] != 0) return static_cast<Pos>(i * 64 + static_cast<std::size_t>(std::countr_zero(r[i])));
    return kNone;
  }
};

}  // namespace

SpanMatrix::SpanMatrix(std::size_t positions, Budget& budget)
    : n_(positions), words_((positions + 63) / 64), bits_(n_ * words_, 0, budget.Alloc<std::uint64_t>()) {
  budget.Step(bits_.size() / 8);
}

MatrixChain::MatrixChain(const SpanView& spans, std::size_t positions, Budget& budget)
    : x_(positions, budget), y_(positions, budget), forward_(positions, budget), backward_(positions, budget) {
  for (std::size_t i = 0; i < spans.size(); ++i)
    SetBit(x_.Row(static_cast<std::size_t>(spans.Start(i))), static_cast<std::size_t>(spans.End(i)));
  budget.Step(spans.size());
}

// A word more costs about 3 steps for every 64-bit word of the matrix, and
// about 12 for every span as a span set (NearSpreads).
bool MatrixChain::Pays(std::size_t spans, std::size_t positions, const Budget& budget) {
  if (positions > kMostPositions) return false;
  const std::size_t words = positions * ((positions + 63) / 64);
  const Memory& memory = budget.Bytes();
  return 3 * words < 12 * spans && 4 * words * sizeof(Word) < (memory.Limit() - memory.Used()) / 4 * 3;
}

bool MatrixChain::Empty() const {
  for (std::size_t s = 0; s < x_.Positions(); ++s) {
    const RowOps ops{x_.RowWords(), x_.Positions(), s / 64};
    if (ops.First(x_.Row(s)) != kNone) return false;
  }
  return true;
}

Spans MatrixChain::ToSpans(Budget& budget) const {
  Spans out = budget.NewSpans();
  const std::size_t words = x_.RowWords();
  for (std::size_t s = 0; s < x_.Positions(); ++s) {
    const Word* r = x_.Row(s);
    budget.Step(1 + (words - s / 64) / 4);
    for (std::size_t i = s / 64; i < words; ++i) {
      for (Word w = r[i]; w != 0; w &= w - 1) {
        budget.Step();
        out.push_back({static_cast<Pos>(s), static_cast<Pos>(i * 64 + static_cast<std::size_t>(std::countr_zero(w)))});
      }
    }
  }
  return out;
}

Projections MatrixChain::Project(Budget& budget) const {
  const std::size_t words = x_.RowWords();
  Projections p{budget.NewPositions(), budget.NewPositions()};
  Vec<Word> ends(words, 0, budget.Alloc<Word>());
  for (std::size_t s = 0; s < x_.Positions(); ++s) {
    const RowOps ops{words, x_.Positions(), s / 64};
    budget.Step(1 + (words - ops.from) / 4);
    if (ops.First(x_.Row(s)) == kNone) continue;
    p.starts.push_back(static_cast<Pos>(s));
    ops.Or(ends.data(), x_.Row(s));
  }
  for (std::size_t i = 0; i < words; ++i)
    for (Word w = ends[i]; w != 0; w &= w - 1)
      p.ends.push_back(static_cast<Pos>(i * 64 + static_cast<std::size_t>(std::countr_zero(w))));
  budget.Step(p.ends.size());
  return p;
}

// The spreads of the near pairs (x, w) fall in four parts (see NearSpreads):
//  A: x itself, when a w near it lies in it;
//  B: (x.s, w.e), when w reaches further right only;
//  C: (w.s, x.e), when w reaches further left only;
//  D: w itself, when an x near it lies in it.
// Row s of the result takes A and B from row s of x, and C and D when a w
// starts at s. With L the word's length, t a start of w and E the ends of
// row s (E0 the first):
//  A: e of E with e >= t0 + L, t0 the first t >= s, when t0 + L < s + d;
//     else e of E with e >= s + d that end some w within d (e - d < t, t + L <= e);
//  B: t + L for t >= s with t + L in (E0, s + d), or with some e of E in
//     (t - d, t + min(L, d)), that is t in [e - min(L, d) + 1, e + d - 1];
//  C: e >= t + L where some x ending at e starts after t, either within d
//     of t + L (rows t + max(1, L - d + 1) to t + L + d - 1 of x), or
//     anywhere after t while e < t + d;
//  D: (t, t + L) when some x starting at t or later ends by
//     min(t + d - 1, t + L), or starting at max(t, t + L - d + 1) or later
//     ends by t + L.
void MatrixChain::Near(const SpanView& w, Wide d, Budget& budget) {
  const SpanMatrix& x = x_;
  const std::size_t n = x.Positions();
  const std::size_t words = x.RowWords();
  const RowOps all{words, n};
  if (w.empty()) {
    for (std::size_t s = 0; s < n; ++s) RowOps{words, n, s / 64}.Clear(x_.Row(s));
    budget.Step(n * words / 8);
    return;
  }
  const Wide len = w.End(0) - w.Start(0);
  const Wide shortLen = std::min(len, d);

  Vec<Word> scratch(6 * words, 0, budget.Alloc<Word>());
  Word* const starts = scratch.data();
  Word* const endsNearWord = starts + words;
  Word* const later = endsNearWord + words;
  Word* const t1 = later + words;
  Word* const t2 = t1 + words;
  Word* const t4 = t2 + words;
  for (std::size_t i = 0; i < w.size(); ++i) SetBit(starts, static_cast<std::size_t>(w.Start(i)));
  budget.Step(w.size());
  if (len <= d - 1) all.Spread(endsNearWord, starts, len, d - 1, t1);

  // The first word start at or after each position; the first end of the
  // rows from each on; the last start of each end's column.
  Positions nextStart(n + 1, kNone, budget.Alloc<Pos>());
  Positions firstEndFrom(n + 1, kNone, budget.Alloc<Pos>());
  Positions lastStart(n, kNone, budget.Alloc<Pos>());
  for (std::size_t s = n; s-- > 0;) {
    const RowOps ops{words, n, s / 64};
    budget.Step(1 + (words - ops.from) / 4);
    nextStart[s] = Bit(starts, s) ? static_cast<Pos>(s) : nextStart[s + 1];
    const Word* row = x.Row(s);
    firstEndFrom[s] = std::min(firstEndFrom[s + 1], ops.First(row));
    for (std::size_t i = ops.from; i < words; ++i) {
      for (Word fresh = row[i] & ~later[i]; fresh != 0; fresh &= fresh - 1)
        lastStart[i * 64 + static_cast<std::size_t>(std::countr_zero(fresh))] = static_cast<Pos>(s);
      later[i] |= row[i];
    }
  }
  // `later` now holds every end; from row t on it holds the ends whose
  // column has a start after t: drop an end once t reaches its last start.
  Positions lastStartOrder(budget.Alloc<Pos>());  // ends by their last start
  {
    Positions count(n + 1, 0, budget.Alloc<Pos>());
    for (std::size_t e = 0; e < n; ++e)
      if (lastStart[e] != kNone) ++count[lastStart[e] + 1];
    for (std::size_t i = 1; i <= n; ++i) count[i] += count[i - 1];
    lastStartOrder.resize(count[n]);
    for (std::size_t e = 0; e < n; ++e)
      if (lastStart[e] != kNone) lastStartOrder[count[lastStart[e]]++] = static_cast<Pos>(e);
    budget.Step(3 * n);
  }

  // The union of rows first to last of x, for C: blocks of `width` rows with
  // their running unions forward and backward. Every row of a block ends
  // from the block's first row on.
  const Wide first = std::max<Wide>(1, len - d + 1);
  const Wide last = len + d - 1;
  const auto width = static_cast<std::size_t>(last - first + 1);
  if (width != width_) {
    // rows of the old blocks may hold ends below the new blocks' first rows
    std::fill(forward_.Row(0), forward_.Row(0) + n * words, 0);
    budget.Step(n * words / 8);
    width_ = width;
  }
  for (std::size_t r = 0; r < n; ++r) {
    const RowOps ops{words, n, (r / width) * width / 64};
    budget.Step(1 + (words - ops.from) / 4);
    ops.Copy(forward_.Row(r), x.Row(r));
    if (r % width != 0) ops.Or(forward_.Row(r), forward_.Row(r - 1));
  }
  for (std::size_t r = n; r-- > 0;) {
    const RowOps ops{words, n, r / 64};
    budget.Step(1 + (words - ops.from) / 4);
    ops.Copy(backward_.Row(r), x.Row(r));
    if (r % width != width - 1 && r + 1 < n) ops.Or(backward_.Row(r), backward_.Row(r + 1));
  }

  std::size_t dropped = 0;
  for (std::size_t s = 0; s < n; ++s) {
    // Every part of row s ends at s or later.
    const RowOps ops{words, n, s / 64};
    const std::size_t rowWords = words - ops.from;
    budget.Step(1 + rowWords / 4);
    for (; dropped < lastStartOrder.size() && lastStart[lastStartOrder[dropped]] <= s; ++dropped)
      later[lastStartOrder[dropped] / 64] &= ~(Word{1} << (lastStartOrder[dropped] % 64));
    Word* const out = y_.Row(s);
    ops.Clear(out);
    const Word* const row = x.Row(s);
    const Wide e0 = ops.First(row);
    const auto ws = static_cast<Wide>(s);
    if (e0 != kNone) {
      budget.Step(3 * rowWords);
      const Wide t0 = nextStart[s];
      ops.Copy(t1, row);
      if (t0 != kNone && t0 + len <= ws + d - 1) {
        ops.Keep(t1, t0 + len, static_cast<Wide>(n));
      } else {
        ops.And(t1, endsNearWord);
        ops.Keep(t1, ws + d, static_cast<Wide>(n));
      }
      ops.Or(out, t1);

      ops.Spread(t1, row, 1 - shortLen, d - 1, t2);
      ops.Keep(t1, ws, static_cast<Wide>(n));
      ops.Copy(t4, starts);
      ops.Keep(t4, std::max(ws, e0 - len + 1), ws + d - len - 1);
      ops.Or(t1, t4);
      ops.And(t1, starts);
      ops.ShiftUp<false>(t1, t1, static_cast<std::size_t>(len));
      ops.Or(out, t1);
    }
    if (!Bit(starts, s)) continue;
    budget.Step(rowWords);
    const std::size_t lo = s + static_cast<std::size_t>(first);
    if (lo < n) {
      const std::size_t hi = std::min(n - 1, s + static_cast<std::size_t>(last));
      ops.Copy(t1, backward_.Row(lo));
      if (hi / width != lo / width) ops.Or(t1, forward_.Row(hi));
      ops.Keep(t1, ws + len, static_cast<Wide>(n));
      ops.Or(out, t1);
    }
    ops.Copy(t1, later);
    ops.Keep(t1, ws + len, ws + d - 1);
    ops.Or(out, t1);
    if (firstEndFrom[s] <= std::min(ws + d - 1, ws + len) ||
        firstEndFrom[static_cast<std::size_t>(std::max(ws, ws + len - d + 1))] <= ws + len) {
      SetBit(out, static_cast<std::size_t>(ws + len));
    }
  }
  std::swap(x_, y_);
}

}  // namespace zorvik::spans
