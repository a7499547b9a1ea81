#pragma once
// zorvik-search match -e EXPRESSION FILE...
//
// Each file is one fetched page (its whole content is the page text). The
// paths of matching files are printed one per line, in argument order.

#include <iosfwd>
#include <string>
#include <vector>

namespace zorvik::cli {

enum ExitStatus { kMatched = 0, kNoMatch = 1, kUsageError = 2 };

// Runs the command with its arguments (after the command name).
int RunMatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zorvik::cli
