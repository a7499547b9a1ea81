#pragma once
// The list of spans that a part of a search expression stands for, held by
// how it was made rather than spread out.
//
// Written out, "a and b" is the spread of every pair of an occurrence of a
// and one of b (in that nested order), "a or b" the left list followed by the
// right one, "a near b" the spreads of the pairs whose start and end lie
// fewer than 200 characters apart. The written-out list of "and" grows with
// the product of its operands, yet a page test only asks whether the whole
// list is empty, and "near" only looks at span positions. A MatchSet records
// the operands and answers those questions directly:
//  - empty or not: "and" needs every operand, "or" any, "near" needs only the
//    sets of start and end positions of its two operands;
//  - the start and end positions of "and" and "or" follow from those of the
//    operands (min of starts, max of ends, unions), those of "near" from
//    range questions over the operands' spans; only "near" over a "near"
//    needs the spans of an inner "near" written out as (start, end) pairs.
// List() writes the list out in full, in the nested order, for inspection.

#include <cstdint>
#include <memory>

#include "query/SpanAlgebra.h"
#include "query/clsMatchLists.h"

namespace zorvik {

class MatchSet {
 public:
  // The empty list.
  MatchSet();

  // A list given span by span (the occurrences of a word, one span).
  static MatchSet Of(clsMatchLists spans);
  // Every match of `left`, then every match of `right`.
  static MatchSet Or(MatchSet left, MatchSet right);
  // The spread of every pair (l, r), l from `left`, r from `right`.
  static MatchSet And(MatchSet left, MatchSet right);
  // The spread of every pair whose |r.start - l.end| or |l.start - r.end| is
  // below `distance`.
  static MatchSet Near(MatchSet left, MatchSet right, std::int64_t distance);

  bool IsEmpty() const;
  // The same within a budget of work and memory; when the budget is
  // abandoned the answer is "empty" and not to be trusted (see the budget).
  bool IsEmpty(spans::Budget& budget) const;
  // The list written out in nested order (size may be the product of the
  // operands': for tests and small inputs).
  clsMatchLists List() const;

  struct Node;

 private:
  explicit MatchSet(std::shared_ptr<Node> node) : node_(std::move(node)) {}
  std::shared_ptr<Node> node_;
};

}  // namespace zorvik
