#include "query/MatchSet.h"

#include <algorithm>
#include <optional>

#include "query/SpanMatrix.h"

namespace zorvik {

using spans::Budget;
using spans::PosView;
using spans::Positions;
using spans::Spans;
using spans::SpanView;

namespace {
enum class Kind { Spans, Words, Or, And, Near, Not };
}  // namespace

struct MatchSet::Node {
  Node(Kind k, const Budget& budget) : kind(k), operands(budget.Alloc<std::shared_ptr<Node>>()) {}

  Kind kind;
  clsMatchLists spans;                              // Kind::Spans, in the given order
  std::shared_ptr<const spans::Positions> starts;   // Kind::Words: the word's starts ...
  std::size_t count = 0;                            // ... of which the first `count` count
  spans::Pos length = 0;                            // ... and its length
  spans::Vec<std::shared_ptr<Node>> operands;       // Or, And: all alike; Near: a left-to-right chain; Not: one
  std::int64_t distance = 0;                        // Kind::Near
  std::int64_t textLength = 0;                      // Kind::Not

  // Whether the list is empty, once a question has worked it out.
  mutable std::optional<bool> nonEmpty;
};

namespace {

using Node = MatchSet::Node;

std::shared_ptr<Node> NewNode(Kind kind, Budget& budget) {
  return std::allocate_shared<Node>(budget.Alloc<Node>(), kind, budget);
}

// A span set, held here or looked at where it lies.
struct HeldSpans {
  explicit HeldSpans(Budget& budget) : owned(budget.NewSpans()) {}
  HeldSpans(HeldSpans&&) = default;
  HeldSpans& operator=(HeldSpans&&) = default;
  void Own(Spans s) {
    owned = std::move(s);
    view = SpanView(owned);
  }
  Spans owned;
  SpanView view;
};

struct HeldProjections {
  explicit HeldProjections(Budget& budget) : starts(budget.NewPositions()), ends(budget.NewPositions()) {}
  HeldProjections(HeldProjections&&) = default;
  HeldProjections& operator=(HeldProjections&&) = default;
  void Own(Positions s, Positions e) {
    starts = std::move(s);
    ends = std::move(e);
    s_ = PosView(starts);
    e_ = PosView(ends);
  }
  Positions starts;
  Positions ends;
  PosView s_;
  PosView e_;
};

// Spans of a page have start <= end; the whole-text span of an empty text,
// (1, 0), is taken as (1, 1): on that text nothing else exists, and both
// are near themselves.
spans::Span Internal(const clsMatch& m) {
  const auto clamp = [](std::int64_t p) {
    return static_cast<spans::Pos>(std::clamp<std::int64_t>(p, 0, SpanView::kTop - 1));
  };
  const spans::Pos s = clamp(m.StartingPosition);
  return {s, std::max(s, clamp(m.EndingPosition))};
}

bool NonEmpty(const Node& n, Budget& budget);
HeldProjections Project(const Node& n, Budget& budget);
HeldSpans Pairs(const Node& n, Budget& budget);

Spans SortedSpans(const clsMatchLists& list, Budget& budget) {
  Spans out = budget.NewSpans();
  out.reserve(list.Count());
  for (const clsMatch& m : list.Matches) out.push_back(Internal(m));
  spans::SortUnique(out, budget);
  return out;
}

Spans WholeText(const Node& n, Budget& budget) {
  clsMatchLists whole;
  if (!NonEmpty(*n.operands[0], budget)) whole.AddNewMatch(1, n.textLength);
  return SortedSpans(whole, budget);
}

// The spans of part of a chain: a span set, or a matrix over a short text.
struct ChainSpans {
  explicit ChainSpans(HeldSpans s) : spans(std::move(s)) {}
  HeldSpans spans;
  std::optional<spans::MatrixChain> matrix;

  bool Empty() const { return matrix ? matrix->Empty() : spans.view.empty(); }
  // Whether adding `right` is done by matrix (switching to it when it pays).
  bool ByMatrix(const SpanView& right, Budget& budget) {
    if (!right.OneLength() || right.empty() || !budget.TextLength()) return false;
    const std::size_t positions = *budget.TextLength() + 2;
    if (!matrix) {
      if (!spans::MatrixChain::Pays(spans.view.size(), positions, budget)) return false;
      matrix.emplace(spans.view, positions, budget);
      spans.Own(budget.NewSpans());
    }
    return true;
  }
  HeldSpans& AsSpans(Budget& budget) {
    if (matrix) {
      spans.Own(matrix->ToSpans(budget));
      matrix.reset();
    }
    return spans;
  }
};

// The chain's first k+1 operands combined: c0 near c1 ... near ck.
ChainSpans ChainSets(const Node& n, std::size_t k, Budget& budget) {
  ChainSpans acc(Pairs(*n.operands[0], budget));
  for (std::size_t i = 1; i <= k && !acc.Empty(); ++i) {
    const HeldSpans right = Pairs(*n.operands[i], budget);
    if (acc.ByMatrix(right.view, budget)) {
      acc.matrix->Near(right.view, n.distance, budget);
    } else {
      HeldSpans& left = acc.AsSpans(budget);
      left.Own(spans::NearSpreads(left.view, right.view, n.distance, budget));
    }
  }
  return acc;
}

HeldSpans ChainPairs(const Node& n, std::size_t k, Budget& budget) {
  ChainSpans acc = ChainSets(n, k, budget);
  return std::move(acc.AsSpans(budget));
}

// The projections of the chain's first k+1 operands combined (k >= 1).
HeldProjections ChainProjections(const Node& n, std::size_t k, Budget& budget) {
  ChainSpans left = ChainSets(n, k - 1, budget);
  HeldProjections p(budget);
  if (left.Empty()) return p;
  const HeldSpans right = Pairs(*n.operands[k], budget);
  spans::Projections q{budget.NewPositions(), budget.NewPositions()};
  if (left.ByMatrix(right.view, budget)) {
    left.matrix->Near(right.view, n.distance, budget);
    q = left.matrix->Project(budget);
  } else {
    q = spans::NearProjections(left.AsSpans(budget).view, right.view, n.distance, budget);
  }
  p.Own(std::move(q.starts), std::move(q.ends));
  return p;
}

bool ComputeNonEmpty(const Node& n, Budget& budget) {
  switch (n.kind) {
    case Kind::Spans:
      return !n.spans.Empty();
    case Kind::Words:
      return n.count > 0;
    case Kind::Or:
      return std::any_of(n.operands.begin(), n.operands.end(), [&](const auto& c) { return NonEmpty(*c, budget); });
    case Kind::And:
      return std::all_of(n.operands.begin(), n.operands.end(), [&](const auto& c) { return NonEmpty(*c, budget); });
    case Kind::Not:
      return !NonEmpty(*n.operands[0], budget);
    case Kind::Near: {
      // Whether some pair is near needs only the start and end positions of
      // the last operand and of the chain before it.
      if (!std::all_of(n.operands.begin(), n.operands.end(), [&](const auto& c) { return NonEmpty(*c, budget); }))
        return false;
      const std::size_t last = n.operands.size() - 1;
      const HeldProjections left =
          last == 1 ? Project(*n.operands[0], budget) : ChainProjections(n, last - 1, budget);
      const HeldProjections right = Project(*n.operands[last], budget);
      return spans::AnyWithin(left.e_, right.s_, n.distance, budget) ||
             spans::AnyWithin(left.s_, right.e_, n.distance, budget);
    }
  }
  return false;
}

bool NonEmpty(const Node& n, Budget& budget) {
  if (!n.nonEmpty) n.nonEmpty = ComputeNonEmpty(n, budget);  // kept only when worked out in full
  return *n.nonEmpty;
}

HeldProjections Project(const Node& n, Budget& budget) {
  HeldProjections p(budget);
  switch (n.kind) {
    case Kind::Words:
      p.s_ = PosView(n.starts->data(), n.count);
      p.e_ = PosView(n.starts->data(), n.count, n.length);
      return p;
    case Kind::Spans:
    case Kind::Not: {
      const Spans s = n.kind == Kind::Spans ? SortedSpans(n.spans, budget) : WholeText(n, budget);
      Positions starts = budget.NewPositions();
      Positions ends = budget.NewPositions();
      for (const spans::Span& x : s) {
        starts.push_back(x.s);
        ends.push_back(x.e);
      }
      spans::SortUnique(starts, budget);
      spans::SortUnique(ends, budget);
      p.Own(std::move(starts), std::move(ends));
      return p;
    }
    case Kind::Or: {
      Positions starts = budget.NewPositions();
      Positions ends = budget.NewPositions();
      for (const auto& c : n.operands) {
        const HeldProjections q = Project(*c, budget);
        budget.Step(q.s_.size() + q.e_.size());
        for (std::size_t i = 0; i < q.s_.size(); ++i) starts.push_back(static_cast<spans::Pos>(q.s_[i]));
        for (std::size_t i = 0; i < q.e_.size(); ++i) ends.push_back(static_cast<spans::Pos>(q.e_[i]));
      }
      spans::SortUnique(starts, budget);
      spans::SortUnique(ends, budget);
      p.Own(std::move(starts), std::move(ends));
      return p;
    }
    case Kind::And: {
      // The spreads' starts are the minima of the operands' starts, whichever
      // pair they come from; likewise the ends.
      p = Project(*n.operands[0], budget);
      for (std::size_t i = 1; i < n.operands.size(); ++i) {
        const HeldProjections q = Project(*n.operands[i], budget);
        Positions starts = spans::MinOfPairs(p.s_, q.s_, budget);
        Positions ends = spans::MaxOfPairs(p.e_, q.e_, budget);
        p.Own(std::move(starts), std::move(ends));
      }
      return p;
    }
    case Kind::Near:
      return ChainProjections(n, n.operands.size() - 1, budget);
  }
  return p;
}

HeldSpans Pairs(const Node& n, Budget& budget) {
  HeldSpans out(budget);
  switch (n.kind) {
    case Kind::Words:
      out.view = SpanView(n.starts->data(), n.count, n.length);
      return out;
    case Kind::Spans:
      out.Own(SortedSpans(n.spans, budget));
      return out;
    case Kind::Not:
      out.Own(WholeText(n, budget));
      return out;
    case Kind::Or: {
      Spans all = budget.NewSpans();
      for (const auto& c : n.operands) {
        const HeldSpans part = Pairs(*c, budget);
        budget.Step(part.view.size());
        for (std::size_t i = 0; i < part.view.size(); ++i)
          all.push_back({static_cast<spans::Pos>(part.view.Start(i)), static_cast<spans::Pos>(part.view.End(i))});
      }
      spans::SortUnique(all, budget);
      out.Own(std::move(all));
      return out;
    }
    case Kind::And:
      // Only "near" over an "and" asks for this: the spreads of all pairs are
      // those of "near" at a distance where everything is near.
      out = Pairs(*n.operands[0], budget);
      for (std::size_t i = 1; i < n.operands.size() && !out.view.empty(); ++i) {
        const HeldSpans right = Pairs(*n.operands[i], budget);
        out.Own(spans::NearSpreads(out.view, right.view, spans::kEverywhere, budget));
      }
      return out;
    case Kind::Near:
      return ChainPairs(n, n.operands.size() - 1, budget);
  }
  return out;
}

clsMatchLists Written(const Node* n) {
  clsMatchLists out;
  if (n == nullptr) return out;
  switch (n->kind) {
    case Kind::Spans:
      return n->spans;
    case Kind::Words:
      for (std::size_t i = 0; i < n->count; ++i) out.AddNewMatch((*n->starts)[i], (*n->starts)[i] + n->length);
      return out;
    case Kind::Not:
      if (Written(n->operands[0].get()).Empty()) out.AddNewMatch(1, n->textLength);
      return out;
    case Kind::Or:
      for (const auto& c : n->operands) {
        const clsMatchLists part = Written(c.get());
        out.Matches.insert(out.Matches.end(), part.Matches.begin(), part.Matches.end());
      }
      return out;
    case Kind::And:
    case Kind::Near: {
      clsMatchLists acc = Written(n->operands[0].get());
      for (std::size_t i = 1; i < n->operands.size(); ++i) {
        const clsMatchLists right = Written(n->operands[i].get());
        clsMatchLists next;
        for (const clsMatch& l : acc.Matches)
          for (const clsMatch& r : right.Matches)
            if (n->kind == Kind::And || spans::IsNear(l, r, n->distance)) next.AddSpread(l, r);
        acc = std::move(next);
      }
      return acc;
    }
  }
  return out;
}

// Joins two operands under `kind`. Lists of the same kind are one level:
// (a or b) or c is a, b, c; an "and" likewise; a "near" chain grows only on
// its right, since "near" groups to the left. The left operand is extended in
// place when nothing else holds it. An empty operand empties "and" and
// "near" and drops out of "or".
std::shared_ptr<Node> Join(Kind kind, std::shared_ptr<Node> left, std::shared_ptr<Node> right, std::int64_t distance,
                           Budget& budget) {
  if (!left || !right) return kind == Kind::Or ? (left ? left : right) : nullptr;
  const bool extendLeft = left->kind == kind && (kind != Kind::Near || left->distance == distance);
  std::shared_ptr<Node> out;
  if (extendLeft && left.use_count() == 1) {
    out = std::move(left);
    out->nonEmpty.reset();
  } else {
    out = NewNode(kind, budget);
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

MatchSet MatchSet::Of(clsMatchLists spans, Budget& budget) {
  if (spans.Empty()) return MatchSet();
  budget.Charge(spans.Matches.capacity() * sizeof(clsMatch));
  auto n = NewNode(Kind::Spans, budget);
  n->spans = std::move(spans);
  return MatchSet(std::move(n));
}

MatchSet MatchSet::Occurrences(std::shared_ptr<const spans::Positions> starts, std::size_t count, std::size_t length,
                               Budget& budget) {
  if (count == 0) return MatchSet();
  auto n = NewNode(Kind::Words, budget);
  n->starts = std::move(starts);
  n->count = count;
  n->length = static_cast<spans::Pos>(length);
  return MatchSet(std::move(n));
}

MatchSet MatchSet::Or(MatchSet left, MatchSet right, Budget& budget) {
  return MatchSet(Join(Kind::Or, std::move(left.node_), std::move(right.node_), 0, budget));
}

MatchSet MatchSet::And(MatchSet left, MatchSet right, Budget& budget) {
  return MatchSet(Join(Kind::And, std::move(left.node_), std::move(right.node_), 0, budget));
}

MatchSet MatchSet::Near(MatchSet left, MatchSet right, std::int64_t distance, Budget& budget) {
  return MatchSet(Join(Kind::Near, std::move(left.node_), std::move(right.node_), distance, budget));
}

MatchSet MatchSet::Not(MatchSet operand, std::int64_t textLength, Budget& budget) {
  if (!operand.node_) {
    clsMatchLists whole;
    whole.AddNewMatch(1, textLength);
    return Of(std::move(whole), budget);
  }
  auto n = NewNode(Kind::Not, budget);
  n->textLength = textLength;
  n->operands.push_back(std::move(operand.node_));
  return MatchSet(std::move(n));
}

bool MatchSet::IsEmpty() const {
  Budget unlimited;
  return IsEmpty(unlimited);
}

bool MatchSet::IsEmpty(Budget& budget) const { return !node_ || !NonEmpty(*node_, budget); }

clsMatchLists MatchSet::List() const { return Written(node_.get()); }

}  // namespace zorvik
