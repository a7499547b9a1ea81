#pragma once
// zorvik-search: the robot without windows. The first argument names the
// command; each command has its own options and --help.

#include <iosfwd>
#include <string>
#include <vector>

namespace zorvik::cli {

// Runs the tool with its arguments (without the program name).
int RunSearchTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zorvik::cli
