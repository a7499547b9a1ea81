#pragma once
// A plain, literal evaluator of search expressions, kept as a yardstick for
// the real one: the page's tags are cut out one at a time (each cut rebuilds
// the text), and every operator writes out its whole list of spans. The
// benchmarks time the real evaluator against it, and the differential tests
// check that both give the same answers. Positions are 64-bit, like the real
// evaluator's, and the empty word occurs nowhere; otherwise nothing is
// clever here on purpose.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Host.h"
#include "core/SearchState.h"

namespace zorvik::reference {

struct Span {
  std::int64_t start = 0;
  std::int64_t end = 0;
  friend bool operator==(const Span&, const Span&) = default;
};
using SpanList = std::vector<Span>;

class ReferenceEvaluator {
 public:
  ReferenceEvaluator(Host& host, const SearchState& state) : host_(host), state_(state) {}

  bool DocumentMatches(const std::string& pattern, const std::string& page);
  // Lists are cut off at this many spans and Overflowed() is set: the
  // answer is then meaningless (used by tests to skip such cases).
  std::size_t MaxSpans = static_cast<std::size_t>(-1);
  bool Overflowed() const { return overflowed_; }
  // Only the tag removal, on the page as given.
  void Prepare(const std::string& page);

  std::string Text;        // prepared text of the last page
  SpanList Paragraphs;     // paragraph spans of the last page
  SpanList Result;         // the whole expression's list for the last page

 private:
  void Advance();
  bool CanRead(const std::string& s);
  void Expect(const std::string& s);
  SpanList Occurrences(const std::string& word);

  void PatternMatch(SpanList& result);
  void AndMatch(SpanList& result);
  void OrMatch(SpanList& result);
  void NearMatch(SpanList& result);
  void SentenceMatch(SpanList& result);
  void NotMatch(SpanList& result);
  void WordMatch(SpanList& result);
  template <class Qualifies>
  void Pairwise(const SpanList& left, const SpanList& right, SpanList& result, Qualifies qualifies);

  Host& host_;
  const SearchState& state_;
  std::string nextWord_;
  std::string remainder_;
  bool overflowed_ = false;
};

}  // namespace zorvik::reference
