#pragma once
// zorvik-search crawl ...: the robot's search without windows. The options
// set the robot window's boxes and lists and answer its dialogs; the search
// is started with the same command a user presses.

#include <iosfwd>
#include <string>
#include <vector>

namespace zorvik::cli {

// Exit status: 0 the search finished, 1 it was stopped (Ctrl+C), 2 a usage
// or input error (nothing fetched), 3 the start address could not be
// fetched, 4 a file could not be written.
int RunCrawlCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zorvik::cli
