#pragma once
// zorvik-search harvest ... and zorvik-search report ...

#include <iosfwd>
#include <string>
#include <vector>

namespace zorvik::cli {

int RunHarvestCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zorvik::cli
