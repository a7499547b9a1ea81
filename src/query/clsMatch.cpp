#include "query/clsMatch.h"

#include <ostream>

namespace zorvik {

std::ostream& operator<<(std::ostream& out, const clsMatch& match) {
  return out << '(' << match.StartingPosition << ", " << match.EndingPosition << ')';
}

}  // namespace zorvik
