#include "crawler/clsDiplomat.h"

namespace zorvik {

bool clsDiplomat::NewServerURL(std::string_view address) const {
  // An empty Server is found in any text but the empty one, as a search
  // from the first character would find it.
  if (Server.empty()) return address.empty();
  return address.find(Server) == std::string_view::npos;
}

}  // namespace zorvik
