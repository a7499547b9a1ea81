#pragma once
// zorvik-search paths: where the programs read and write their files.

#include <iosfwd>
#include <string>
#include <vector>

namespace zorvik::cli {

int RunPathsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zorvik::cli
