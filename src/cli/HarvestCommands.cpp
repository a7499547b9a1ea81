#include "cli/HarvestCommands.h"

#include <ostream>

#include "cli/MatchCommand.h"

namespace zorvik::cli {

int RunHarvestCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "zorvik-search: harvest is not available yet\n";
  return kUsageError;
}

int RunReportCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "zorvik-search: report is not available yet\n";
  return kUsageError;
}

}  // namespace zorvik::cli
