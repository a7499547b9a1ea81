#pragma once
// Set algorithms over spans for the page test, within a budget of memory and
// work.
//
// A span set is sorted by (start, end) and holds each span once; a position
// set is sorted and holds each position once. Only distinct spans matter to
// a page test: "near", "and" and "or" give the same distinct spreads however
// often a span is repeated. Positions are 32-bit (a page test refuses texts
// of 4 GB and more). Two spans are near when |r.start - l.end| or
// |l.start - r.end| is below the distance; a spread is the span covering both.
//
// Everything here counts its work in steps (about one per span or position
// read or written) and its memory in bytes against one Budget; over either
// limit, or when the budget's caller asks to stop, the computation throws
// GiveUp and the page test ends.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "query/clsMatch.h"

namespace zorvik::spans {

using Pos = std::uint32_t;
// Arithmetic on positions and distances is done in 64 bits.
using Wide = std::int64_t;
// A distance at which everything is near: "and" is "near" at this distance.
inline constexpr Wide kEverywhere = Wide{1} << 40;

struct Span {
  Pos s = 0;
  Pos e = 0;
  friend bool operator==(const Span&, const Span&) = default;
  friend auto operator<=>(const Span&, const Span&) = default;
};

// Ends a page test early: over a limit, or (stopped) at the user's request.
struct GiveUp {
  bool stopped = false;
};

// The bytes held by one page test, and the most it may hold.
class Memory {
 public:
  explicit Memory(std::size_t limit) : limit_(limit) {}
  // Throws GiveUp when `bytes` more would pass the limit.
  void Charge(std::size_t bytes) {
    if (bytes > limit_ - used_) throw GiveUp{};
    used_ += bytes;
    if (used_ > peak_) peak_ = used_;
  }
  void Refund(std::size_t bytes) noexcept { used_ -= bytes; }
  std::size_t Used() const { return used_; }
  std::size_t Peak() const { return peak_; }
  std::size_t Limit() const { return limit_; }

 private:
  std::size_t limit_;
  std::size_t used_ = 0;
  std::size_t peak_ = 0;
};

// An allocator that charges a Memory for what it hands out. A failed
// allocation is a GiveUp too: no std::bad_alloc leaves it.
template <class T>
class Counted {
 public:
  using value_type = T;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_copy_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  explicit Counted(std::shared_ptr<Memory> memory) : memory_(std::move(memory)) {}
  template <class U>
  Counted(const Counted<U>& other) : memory_(other.memory()) {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw GiveUp{};
    memory_->Charge(n * sizeof(T));
    try {
      return std::allocator<T>().allocate(n);
    } catch (const std::bad_alloc&) {
      memory_->Refund(n * sizeof(T));
      throw GiveUp{};
    }
  }
  void deallocate(T* p, std::size_t n) noexcept {
    std::allocator<T>().deallocate(p, n);
    memory_->Refund(n * sizeof(T));
  }

  const std::shared_ptr<Memory>& memory() const { return memory_; }
  template <class U>
  friend bool operator==(const Counted& a, const Counted<U>& b) {
    return a.memory() == b.memory();
  }

 private:
  std::shared_ptr<Memory> memory_;
};

template <class T>
using Vec = std::vector<T, Counted<T>>;
using Positions = Vec<Pos>;
using Spans = Vec<Span>;

// Work and memory of one page test. Steps are counted, never timed, so the
// same page and expression always give up at the same point.
class Budget {
 public:
  // No limits.
  Budget();
  Budget(std::size_t maxBytes, std::uint64_t maxSteps);

  // From now on `keepGoing` runs once every kStepsPerCall steps (it may
  // yield to the event loop); when it returns false the test stops.
  void CallEvery(std::function<bool()> keepGoing);

  // Counts `n` steps; throws GiveUp past the limit or at a stop.
  void Step(std::uint64_t n = 1) {
    steps_ += n;
    if (steps_ >= checkAt_) Check();
  }
  void Charge(std::size_t bytes) { memory_->Charge(bytes); }

  template <class T>
  Counted<T> Alloc() const {
    return Counted<T>(memory_);
  }
  Positions NewPositions() const { return Positions(Alloc<Pos>()); }
  Spans NewSpans() const { return Spans(Alloc<Span>()); }

  // The length of the prepared text, when known: every position lies in
  // [0, TextLength() + 1].
  void SetTextLength(std::size_t length) { textLength_ = length; }
  std::optional<std::size_t> TextLength() const { return textLength_; }

  std::uint64_t Steps() const { return steps_; }
  std::uint64_t MaxSteps() const { return maxSteps_; }
  const Memory& Bytes() const { return *memory_; }

  static constexpr std::uint64_t kStepsPerCall = 1 << 16;

 private:
  void Check();

  std::shared_ptr<Memory> memory_;
  std::uint64_t maxSteps_;
  std::uint64_t steps_ = 0;
  std::uint64_t checkAt_;
  std::uint64_t nextCall_ = std::numeric_limits<std::uint64_t>::max();
  std::function<bool()> keepGoing_;
  std::optional<std::size_t> textLength_;
};

// A sorted position set: an array, every value plus a constant (the ends of
// a word's occurrences are their starts plus the word's length).
class PosView {
 public:
  PosView() = default;
  PosView(const Pos* values, std::size_t n, Pos add = 0) : values_(values), n_(n), add_(add) {}
  explicit PosView(const Positions& p) : PosView(p.data(), p.size()) {}
  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  Wide operator[](std::size_t i) const { return Wide{values_[i]} + add_; }

 private:
  const Pos* values_ = nullptr;
  std::size_t n_ = 0;
  Pos add_ = 0;
};

// A span set: an array of spans, or the occurrences of a word (sorted starts
// and one length; then the ends are sorted too), possibly mirrored.
class SpanView {
 public:
  SpanView() = default;
  explicit SpanView(const Spans& s) : spans_(s.data()), n_(s.size()) {}
  SpanView(const Pos* starts, std::size_t n, Pos length) : starts_(starts), n_(n), length_(length) {}

  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  // Whether the ends are sorted like the starts (all spans one length).
  bool OneLength() const { return spans_ == nullptr; }
  Wide Start(std::size_t i) const {
    if (spans_ != nullptr) return spans_[i].s;
    return mirrored_ ? Mirror(Wide{starts_[n_ - 1 - i]} + length_) : Wide{starts_[i]};
  }
  Wide End(std::size_t i) const { return spans_ != nullptr ? Wide{spans_[i].e} : Start(i) + length_; }

  // The one-length view of the mirrored spans (Mirror below).
  SpanView MirroredOneLength() const {
    SpanView m = *this;
    m.mirrored_ = !mirrored_;
    return m;
  }

  // p -> kTop - p turns the text around; a span (s, e) becomes
  // (kTop - e, kTop - s), which swaps the roles of starts and ends.
  static constexpr Wide kTop = std::numeric_limits<Pos>::max();
  static constexpr Wide Mirror(Wide p) { return kTop - p; }

 private:
  const Span* spans_ = nullptr;
  const Pos* starts_ = nullptr;
  std::size_t n_ = 0;
  Pos length_ = 0;
  bool mirrored_ = false;
};

// The start and end positions of a span set.
struct Projections {
  Positions starts;
  Positions ends;
};

void SortUnique(Positions& p, Budget& budget);
void SortUnique(Spans& s, Budget& budget);

// {min(x, y) : x in a, y in b} and {max(x, y) : x in a, y in b}.
Positions MinOfPairs(PosView a, PosView b, Budget& budget);
Positions MaxOfPairs(PosView a, PosView b, Budget& budget);
// Whether some x of a and y of b lie fewer than `distance` apart.
bool AnyWithin(PosView a, PosView b, Wide distance, Budget& budget);

// The start and end positions of the spreads of all near pairs (l, r),
// without writing the spreads out: a few range questions per span.
Projections NearProjections(const SpanView& l, const SpanView& r, Wide distance, Budget& budget);
// The distinct spreads of all near pairs, in steps proportional to the
// spans read and the spreads made, not to the pairs.
Spans NearSpreads(const SpanView& l, const SpanView& r, Wide distance, Budget& budget);

// Near and spread on the spans of the written-out lists.
bool IsNear(const clsMatch& l, const clsMatch& r, std::int64_t distance);
clsMatch Spread(const clsMatch& a, const clsMatch& b);

}  // namespace zorvik::spans
