#include "core/Version.h"

namespace zorvik {

std::string VersionLine(std::string_view program) {
  return std::string(program) + " " + kVersion + " (build " + kBuild + ", revision " + kRevision + ")";
}

}  // namespace zorvik
