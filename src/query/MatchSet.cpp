#include "query/MatchSet.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zorvik {

using spans::Budget;
using spans::Projections;
using spans::Spans;

namespace {
enum class Kind { Spans, Or, And, Near };
}  // namespace

struct MatchSet::Node {
  Kind kind = Kind::Spans;
  clsMatchLists spans;                          // Kind::Spans, in the given order
  std::vector<std::shared_ptr<Node>> operands;  // Or, And: all alike; Near: a left-to-right chain
  std::int64_t distance = 0;                    // Kind::Near

  // Answers worked out so far (only complete ones are kept).
  mutable std::optional<bool> nonEmpty;
  mutable std::shared_ptr<const Projections> projections;
  mutable std::shared_ptr<const Spans> pairs;

  void Forget() const {
    nonEmpty.reset();
    projections.reset();
    pairs.reset();
  }
};

namespace {

using Node = MatchSet::Node;

bool NonEmpty(const Node& n, Budget& budget);
const Projections& Project(const Node& n, Budget& budget);
const Spans& Pairs(const Node& n, Budget& budget);

// The spans of the chain's first k+1 operands combined: c0 near c1 ... near ck.
Spans NearChainPairs(const Node& n, std::size_t k, Budget& budget) {
  Spans acc = Pairs(*n.operands[0], budget);
  for (std::size_t i = 1; i <= k && !budget.Abandoned(); ++i)
    acc = spans::NearSpreads(acc, Pairs(*n.operands[i], budget), n.distance, budget);
  return acc;
}

// Projections of the chain's first k+1 operands combined (k >= 1).
Projections NearChainProjections(const Node& n, std::size_t k, Budget& budget) {
  const Spans left = NearChainPairs(n, k - 1, budget);
  return spans::NearProjections(left, Pairs(*n.operands[k], budget), n.distance, budget);
}

bool ComputeNonEmpty(const Node& n, Budget& budget) {
  switch (n.kind) {
    case Kind::Spans:
      return !n.spans.Empty();
    case Kind::Or:
      return std::any_of(n.operands.begin(), n.operands.end(), [&](const auto& c) { return NonEmpty(*c, budget); });
    case Kind::And:
      return std::all_of(n.operands.begin(), n.operands.end(), [&](const auto& c) { return NonEmpty(*c, budget); });
    case Kind::Near: {
      // Whether some pair is near needs only the start and end positions of
      // the last operand and of the chain before it.
      const std::size_t last = n.operands.size() - 1;
      const Projections& right = Project(*n.operands[last], budget);
      if (right.starts.empty()) return false;
      const Projections left =
          last == 1 ? Project(*n.operands[0], budget) : NearChainProjections(n, last - 1, budget);
      return spans::AnyWithin(left.ends, right.starts, n.distance) ||
             spans::AnyWithin(left.starts, right.ends, n.distance);
    }
  }
  return false;
}

Projections ComputeProjections(const Node& n, Budget& budget) {
  Projections p;
  switch (n.kind) {
    case Kind::Spans:
      return spans::ProjectionsOf(n.spans.Matches);
    case Kind::Or:
      for (const auto& c : n.operands) {
        const Projections& q = Project(*c, budget);
        p.starts = spans::Union(p.starts, q.starts);
        p.ends = spans::Union(p.ends, q.ends);
      }
      return p;
    case Kind::And:
      // The spreads' starts are the minima of the operands' starts, whichever
      // pair they come from; likewise the ends.
      p = Project(*n.operands[0], budget);
      for (std::size_t i = 1; i < n.operands.size(); ++i) {
        const Projections& q = Project(*n.operands[i], budget);
        p.starts = spans::MinOfPairs(p.starts, q.starts);
        p.ends = spans::MaxOfPairs(p.ends, q.ends);
      }
      return p;
    case Kind::Near:
      return NearChainProjections(n, n.operands.size() - 1, budget);
  }
  return p;
}

Spans ComputePairs(const Node& n, Budget& budget) {
  Spans out;
  switch (n.kind) {
    case Kind::Spans:
      out = n.spans.Matches;
      spans::SortUnique(out);
      return out;
    case Kind::Or:
      for (const auto& c : n.operands) out = spans::Union(out, Pairs(*c, budget));
      return out;
    case Kind::And:
      // Only "near" over a "near" with an "and" inside asks for this; the
      // distinct spreads can number as many as the pairs.
      out = Pairs(*n.operands[0], budget);
      for (std::size_t i = 1; i < n.operands.size() && !budget.Abandoned(); ++i)
        out = spans::AllSpreads(out, Pairs(*n.operands[i], budget), budget);
      return out;
    case Kind::Near:
      return NearChainPairs(n, n.operands.size() - 1, budget);
  }
  return out;
}

bool NonEmpty(const Node& n, Budget& budget) {
  if (n.nonEmpty) return *n.nonEmpty;
  const bool answer = ComputeNonEmpty(n, budget);
  if (!budget.Abandoned()) n.nonEmpty = answer;
  return answer;
}

// The answer in `slot`, computed first if need be. An answer the budget cut
// short is not kept; the caller gets an empty one and is abandoning anyway.
template <class T, class Compute>
const T& Cached(std::shared_ptr<const T>& slot, Budget& budget, Compute compute) {
  if (slot) return *slot;
  auto answer = std::make_shared<const T>(compute());
  if (budget.Abandoned()) {
    static const T kNothing;
    return kNothing;
  }
  slot = std::move(answer);
  return *slot;
}

const Projections& Project(const Node& n, Budget& budget) {
  return Cached(n.projections, budget, [&] { return ComputeProjections(n, budget); });
}

const Spans& Pairs(const Node& n, Budget& budget) {
  return Cached(n.pairs, budget, [&] { return ComputePairs(n, budget); });
}

clsMatchLists Written(const Node& n) {
  switch (n.kind) {
    case Kind::Spans:
      return n.spans;
    case Kind::Or: {
      clsMatchLists out;
      for (const auto& c : n.operands) {
        const clsMatchLists part = Written(*c);
        out.Matches.insert(out.Matches.end(), part.Matches.begin(), part.Matches.end());
      }
      return out;
    }
    case Kind::And:
    case Kind::Near: {
      clsMatchLists acc = Written(*n.operands[0]);
      for (std::size_t i = 1; i < n.operands.size(); ++i) {
        const clsMatchLists right = Written(*n.operands[i]);
        clsMatchLists next;
        for (const clsMatch& l : acc.Matches)
          for (const clsMatch& r : right.Matches)
            if (n.kind == Kind::And || spans::IsNear(l, r, n.distance)) next.AddSpread(l, r);
        acc = std::move(next);
      }
      return acc;
    }
  }
  return {};
}

// Joins two operands under `kind`. Lists of the same kind are one level:
// (a or b) or c is a, b, c; an "and" likewise; a "near" chain grows only on
// its right, since "near" groups to the left. The left operand is extended in
// place when nothing else holds it.
std::shared_ptr<Node> Join(Kind kind, std::shared_ptr<Node> left, std::shared_ptr<Node> right,
                           std::int64_t distance) {
  const bool extendLeft = left->kind == kind && (kind != Kind::Near || left->distance == distance);
  std::shared_ptr<Node> out;
  if (extendLeft && left.use_count() == 1) {
    out = std::move(left);
    out->Forget();
  } else {
    out = std::make_shared<Node>();
    out->kind = kind;
    out->distance = distance;
    if (extendLeft) out->operands = left->operands; else out->operands.push_back(std::move(left));
  }
  if (kind != Kind::Near && right->kind == kind)
    out->operands.insert(out->operands.end(), right->operands.begin(), right->operands.end());
  else
    out->operands.push_back(std::move(right));
  return out;
}

}  // namespace

MatchSet::MatchSet() : node_(std::make_shared<Node>()) {}

MatchSet MatchSet::Of(clsMatchLists spans) {
  auto n = std::make_shared<Node>();
  n->spans = std::move(spans);
  return MatchSet(std::move(n));
}

MatchSet MatchSet::Or(MatchSet left, MatchSet right) {
  return MatchSet(Join(Kind::Or, std::move(left.node_), std::move(right.node_), 0));
}

MatchSet MatchSet::And(MatchSet left, MatchSet right) {
  return MatchSet(Join(Kind::And, std::move(left.node_), std::move(right.node_), 0));
}

MatchSet MatchSet::Near(MatchSet left, MatchSet right, std::int64_t distance) {
  return MatchSet(Join(Kind::Near, std::move(left.node_), std::move(right.node_), distance));
}

bool MatchSet::IsEmpty() const {
  Budget unlimited;
  return !NonEmpty(*node_, unlimited);
}

bool MatchSet::IsEmpty(Budget& budget) const { return !NonEmpty(*node_, budget); }

clsMatchLists MatchSet::List() const { return Written(*node_); }

}  // namespace zorvik
