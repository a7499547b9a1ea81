#include "cli/EngineCommands.h"

#include <ostream>

#include "cli/MatchCommand.h"

namespace zorvik::cli {

int RunQueryCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "zorvik-search: query is not available yet\n";
  return kUsageError;
}

int RunCutCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "zorvik-search: cut is not available yet\n";
  return kUsageError;
}

}  // namespace zorvik::cli
