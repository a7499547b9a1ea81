#pragma once
// A span set over a short text as a bit matrix: bit e of row s is set when
// the span (s, e) is in the set.
//
// On a short page full of the words, a chain of "near" holds nearly every
// span between two occurrences: millions of spans on a 4 KB page, a
// quarter of a million 64-bit words as a matrix. Adding one more word to the
// chain is then a few passes over the rows, in steps proportional to the
// matrix, whatever the number of spans.

#include <cstddef>
#include <cstdint>

#include "query/SpanAlgebra.h"

namespace zorvik::spans {

class SpanMatrix {
 public:
  // Positions 0 to positions - 1, no span.
  SpanMatrix(std::size_t positions, Budget& budget);

  std::size_t Positions() const { return n_; }
  std::size_t RowWords() const { return words_; }
  // Row s holds only ends from s on: its words below s / 64 stay empty.
  std::uint64_t* Row(std::size_t s) { return bits_.data() + s * words_; }
  const std::uint64_t* Row(std::size_t s) const { return bits_.data() + s * words_; }

 private:
  std::size_t n_;
  std::size_t words_;
  Vec<std::uint64_t> bits_;
};

// A chain of "near" over a short text, worked out by matrix: the spans of
// the chain so far, and the matrices it works in, kept from word to word.
class MatrixChain {
 public:
  MatrixChain(const SpanView& spans, std::size_t positions, Budget& budget);

  // Whether adding words to a chain whose spans number `spans` is cheaper
  // done by matrix, and the budget has room for it.
  static bool Pays(std::size_t spans, std::size_t positions, const Budget& budget);

  // The chain so far near w, the occurrences of a word (spans of one length).
  void Near(const SpanView& w, Wide distance, Budget& budget);

  bool Empty() const;
  Spans ToSpans(Budget& budget) const;
  spans::Projections Project(Budget& budget) const;

 private:
  SpanMatrix x_;
  SpanMatrix y_;
  SpanMatrix forward_;
  SpanMatrix backward_;
  std::size_t width_ = 0;  // of the blocks of forward_ and backward_
};

}  // namespace zorvik::spans
