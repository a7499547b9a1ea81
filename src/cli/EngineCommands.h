#pragma once
// zorvik-search query ... and zorvik-search cut ...

#include <iosfwd>
#include <string>
#include <vector>

namespace zorvik::cli {

int RunQueryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCutCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zorvik::cli
