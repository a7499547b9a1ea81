#include "query/clsMatchLists.h"

#include <algorithm>

namespace zorvik {

void clsMatchLists::AddNewMatch(std::int64_t StartPos, std::int64_t EndPos) {
  Matches.push_back(clsMatch{StartPos, EndPos});
}

void clsMatchLists::AddSpread(const clsMatch& A, const clsMatch& B) {
  AddNewMatch(std::min(A.StartingPosition, B.StartingPosition),
              std::max(A.EndingPosition, B.EndingPosition));
}

}  // namespace zorvik
