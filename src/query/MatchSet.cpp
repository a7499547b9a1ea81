#include "query/MatchSet.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zorvik {

namespace {

using Positions = std::vector<std::int64_t>;  // sorted, no repeats
using Spans = std::vector<clsMatch>;          // sorted by (start, end), no repeats

struct Projections {
  Positions starts;
  Positions ends;
};

enum class Kind { Spans, Or, And, Near };

void SortUnique(Positions& p) {
  if (!std::is_sorted(p.begin(), p.end())) std::sort(p.begin(), p.end());
  p.erase(std::unique(p.begin(), p.end()), p.end());
}

void SortUnique(Spans& s) {
  if (!std::is_sorted(s.begin(), s.end())) std::sort(s.begin(), s.end());
  s.erase(std::unique(s.begin(), s.end()), s.end());
}

template <class T>
std::vector<T> Union(const std::vector<T>& a, const std::vector<T>& b) {
  std::vector<T> out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

// {min(x, y) : x in a, y in b}: x survives when some y is not smaller.
Positions MinOfPairs(const Positions& a, const Positions& b) {
  if (a.empty() || b.empty()) return {};
  Positions out;
  for (std::int64_t x : a) if (x <= b.back()) out.push_back(x);
  for (std::int64_t y : b) if (y <= a.back()) out.push_back(y);
  SortUnique(out);
  return out;
}

// {max(x, y) : x in a, y in b}: x survives when some y is not larger.
Positions MaxOfPairs(const Positions& a, const Positions& b) {
  if (a.empty() || b.empty()) return {};
  Positions out;
  for (std::int64_t x : a) if (x >= b.front()) out.push_back(x);
  for (std::int64_t y : b) if (y >= a.front()) out.push_back(y);
  SortUnique(out);
  return out;
}

// Whether some x of a and y of b lie fewer than `distance` apart.
bool AnyWithin(const Positions& a, const Positions& b, std::int64_t distance) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const std::int64_t d = a[i] - b[j];
    if (d < distance && -d < distance) return true;
    if (a[i] < b[j]) ++i; else ++j;
  }
  return false;
}

bool Near(const clsMatch& l, const clsMatch& r, std::int64_t distance) {
  const std::int64_t d1 = r.StartingPosition - l.EndingPosition;
  const std::int64_t d2 = l.StartingPosition - r.EndingPosition;
  return (d1 < distance && -d1 < distance) || (d2 < distance && -d2 < distance);
}

clsMatch Spread(const clsMatch& a, const clsMatch& b) {
  return {std::min(a.StartingPosition, b.StartingPosition), std::max(a.EndingPosition, b.EndingPosition)};
}

// Calls emit(l, r) once for every pair of `left` and `right` that is near.
// Only the spans within reach of each l are visited.
template <class Emit>
void ForEachNearPair(const Spans& left, const Spans& right, std::int64_t distance, Emit emit) {
  if (left.empty() || right.empty()) return;
  std::vector<const clsMatch*> byEnd;
  byEnd.reserve(right.size());
  for (const clsMatch& r : right) byEnd.push_back(&r);
  std::sort(byEnd.begin(), byEnd.end(),
            [](const clsMatch* a, const clsMatch* b) { return a->EndingPosition < b->EndingPosition; });
  for (const clsMatch& l : left) {
    // r.start within (l.end - distance, l.end + distance)
    auto r = std::lower_bound(right.begin(), right.end(), l.EndingPosition - distance + 1,
                              [](const clsMatch& m, std::int64_t v) { return m.StartingPosition < v; });
    for (; r != right.end() && r->StartingPosition < l.EndingPosition + distance; ++r) emit(l, *r);
    // r.end within (l.start - distance, l.start + distance), not counted above
    auto e = std::lower_bound(byEnd.begin(), byEnd.end(), l.StartingPosition - distance + 1,
                              [](const clsMatch* m, std::int64_t v) { return m->EndingPosition < v; });
    for (; e != byEnd.end() && (*e)->EndingPosition < l.StartingPosition + distance; ++e) {
      const std::int64_t d1 = (*e)->StartingPosition - l.EndingPosition;
      if (!(d1 < distance && -d1 < distance)) emit(l, **e);
    }
  }
}

}  // namespace

struct MatchSet::Node {
  Kind kind = Kind::Spans;
  clsMatchLists spans;                          // Kind::Spans, in the given order
  std::vector<std::shared_ptr<Node>> operands;  // Or, And: all alike; Near: a left-to-right chain
  std::int64_t distance = 0;                    // Kind::Near

  // Answers worked out so far.
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

bool NonEmpty(const Node& n);
const Projections& Project(const Node& n);
const Spans& Pairs(const Node& n);

Projections NearProjections(const Spans& left, const Spans& right, std::int64_t distance) {
  Projections p;
  ForEachNearPair(left, right, distance, [&](const clsMatch& l, const clsMatch& r) {
    p.starts.push_back(std::min(l.StartingPosition, r.StartingPosition));
    p.ends.push_back(std::max(l.EndingPosition, r.EndingPosition));
  });
  SortUnique(p.starts);
  SortUnique(p.ends);
  return p;
}

Spans NearPairs(const Spans& left, const Spans& right, std::int64_t distance) {
  Spans out;
  ForEachNearPair(left, right, distance, [&](const clsMatch& l, const clsMatch& r) { out.push_back(Spread(l, r)); });
  SortUnique(out);
  return out;
}

// The spans of the chain's first k+1 operands combined: c0 near c1 ... near ck.
Spans NearChainPairs(const Node& n, std::size_t k) {
  Spans acc = Pairs(*n.operands[0]);
  for (std::size_t i = 1; i <= k; ++i) acc = NearPairs(acc, Pairs(*n.operands[i]), n.distance);
  return acc;
}

bool ComputeNonEmpty(const Node& n) {
  switch (n.kind) {
    case Kind::Spans:
      return !n.spans.Empty();
    case Kind::Or:
      return std::any_of(n.operands.begin(), n.operands.end(), [](const auto& c) { return NonEmpty(*c); });
    case Kind::And:
      return std::all_of(n.operands.begin(), n.operands.end(), [](const auto& c) { return NonEmpty(*c); });
    case Kind::Near: {
      const std::size_t last = n.operands.size() - 1;
      const Projections& right = Project(*n.operands[last]);
      if (right.starts.empty()) return false;
      Projections leftStorage;
      const Projections* left = nullptr;
      if (last == 1) {
        left = &Project(*n.operands[0]);
      } else {
        leftStorage = NearProjections(NearChainPairs(n, last - 2), Pairs(*n.operands[last - 1]), n.distance);
        left = &leftStorage;
      }
      return AnyWithin(left->ends, right.starts, n.distance) || AnyWithin(left->starts, right.ends, n.distance);
    }
  }
  return false;
}

Projections ComputeProjections(const Node& n) {
  Projections p;
  switch (n.kind) {
    case Kind::Spans:
      for (const clsMatch& m : n.spans.Matches) {
        p.starts.push_back(m.StartingPosition);
        p.ends.push_back(m.EndingPosition);
      }
      SortUnique(p.starts);
      SortUnique(p.ends);
      break;
    case Kind::Or:
      for (const auto& c : n.operands) {
        const Projections& q = Project(*c);
        p.starts = Union(p.starts, q.starts);
        p.ends = Union(p.ends, q.ends);
      }
      break;
    case Kind::And:
      p = Project(*n.operands[0]);
      for (std::size_t i = 1; i < n.operands.size(); ++i) {
        const Projections& q = Project(*n.operands[i]);
        p.starts = MinOfPairs(p.starts, q.starts);
        p.ends = MaxOfPairs(p.ends, q.ends);
      }
      break;
    case Kind::Near: {
      const std::size_t last = n.operands.size() - 1;
      p = NearProjections(NearChainPairs(n, last - 1), Pairs(*n.operands[last]), n.distance);
      break;
    }
  }
  return p;
}

Spans ComputePairs(const Node& n) {
  Spans out;
  switch (n.kind) {
    case Kind::Spans:
      out = n.spans.Matches;
      SortUnique(out);
      break;
    case Kind::Or:
      for (const auto& c : n.operands) out = Union(out, Pairs(*c));
      break;
    case Kind::And:
      // Only "near" over a "near" with an "and" inside asks for this; the
      // distinct spreads can number as many as the pairs.
      out = Pairs(*n.operands[0]);
      for (std::size_t i = 1; i < n.operands.size(); ++i) {
        const Spans& right = Pairs(*n.operands[i]);
        Spans next;
        next.reserve(out.size() * right.size());
        for (const clsMatch& l : out)
          for (const clsMatch& r : right) next.push_back(Spread(l, r));
        SortUnique(next);
        out = std::move(next);
      }
      break;
    case Kind::Near:
      out = NearChainPairs(n, n.operands.size() - 1);
      break;
  }
  return out;
}

bool NonEmpty(const Node& n) {
  if (!n.nonEmpty) n.nonEmpty = ComputeNonEmpty(n);
  return *n.nonEmpty;
}

const Projections& Project(const Node& n) {
  if (!n.projections) n.projections = std::make_shared<const Projections>(ComputeProjections(n));
  return *n.projections;
}

const Spans& Pairs(const Node& n) {
  if (!n.pairs) n.pairs = std::make_shared<const Spans>(ComputePairs(n));
  return *n.pairs;
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
            if (n.kind == Kind::And || Near(l, r, n.distance)) next.AddSpread(l, r);
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

bool MatchSet::IsEmpty() const { return !NonEmpty(*node_); }

clsMatchLists MatchSet::List() const { return Written(*node_); }

}  // namespace zorvik
