#pragma once
// An ordered list of spans: the occurrences of a word, the paragraphs of a
// page, or the spans a part of a search expression stands for.

#include <cstdint>
#include <vector>

#include "query/clsMatch.h"

namespace zorvik {

class clsMatchLists {
 public:
  // The spans in insertion order.
  std::vector<clsMatch> Matches;

  void AddMatch(const clsMatch& AMatch) { Matches.push_back(AMatch); }
  void AddNewMatch(std::int64_t StartPos, std::int64_t EndPos);
  // Appends the span that covers both: the smaller start, the larger end.
  void AddSpread(const clsMatch& A, const clsMatch& B);

  std::size_t Count() const { return Matches.size(); }
  bool Empty() const { return Matches.empty(); }
};

}  // namespace zorvik
