#include "core/SearchState.h"

namespace zorvik {

SearchState& ProcessSearchState() {
  static SearchState state;
  return state;
}

}  // namespace zorvik
