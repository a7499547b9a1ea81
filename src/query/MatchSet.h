#pragma once
// The list of spans that a part of a search expression stands for, held by
// how it was made rather than spread out.
//
// Written out, "a and b" is the spread of every pair of an occurrence of a
// and one of b (in that nested order), "a or b" the left list followed by the
// right one, "a near b" the spreads of the pairs whose start and end lie
// fewer than 200 characters apart, "not a" the whole text when a's list is
// empty. The written-out list of "and" grows with the product of its
// operands, yet a page test only asks whether the whole list is empty, and
// "near" only looks at span positions. A MatchSet records the operands and
// answers those questions directly, on distinct spans only:
//  - empty or not: "and" needs every operand, "or" any, "near" needs only the
//    start and end positions of its two operands;
//  - the start and end positions of "and" and "or" follow from those of the
//    operands (min of starts, max of ends, unions), those of "near" from
//    range questions over the operands' spans; only "near" over a "near"
//    (or over an "and" that holds one) needs spans as (start, end) pairs,
//    worked out one operand of the chain after the other.
// Nothing is kept between questions but the answer to "empty or not", and
// everything is counted against the budget of the page test.
// List() writes the list out in full, in the nested order, for inspection.

#include <cstdint>
#include <memory>

#include "query/SpanAlgebra.h"
#include "query/clsMatchLists.h"

namespace zorvik {

class MatchSet {
 public:
  // The empty list.
  MatchSet() = default;

  // A list given span by span (one span, or a few in tests).
  static MatchSet Of(clsMatchLists spans, spans::Budget& budget);
  // The first `count` occurrences of a word of `length` characters, by their
  // 1-based starts (shared by every occurrence of the word in the expression).
  static MatchSet Occurrences(std::shared_ptr<const spans::Positions> starts, std::size_t count,
                              std::size_t length, spans::Budget& budget);
  // Every match of `left`, then every match of `right`.
  static MatchSet Or(MatchSet left, MatchSet right, spans::Budget& budget);
  // The spread of every pair (l, r), l from `left`, r from `right`.
  static MatchSet And(MatchSet left, MatchSet right, spans::Budget& budget);
  // The spread of every pair whose |r.start - l.end| or |l.start - r.end| is
  // below `distance`.
  static MatchSet Near(MatchSet left, MatchSet right, std::int64_t distance, spans::Budget& budget);
  // One span from 1 to `textLength` when `operand` is empty, else nothing.
  static MatchSet Not(MatchSet operand, std::int64_t textLength, spans::Budget& budget);

  // Whether the list is empty, without limits.
  bool IsEmpty() const;
  // The same within a budget; throws spans::GiveUp when the budget gives up.
  bool IsEmpty(spans::Budget& budget) const;
  // The list written out in nested order (size may be the product of the
  // operands': for tests and small inputs).
  clsMatchLists List() const;

  struct Node;

 private:
  explicit MatchSet(std::shared_ptr<Node> node) : node_(std::move(node)) {}
  std::shared_ptr<Node> node_;  // null: the empty list
};

}  // namespace zorvik
