#include "cli/SearchTool.h"

#include <ostream>
#include <string_view>

#include "cli/CrawlCommand.h"
#include "cli/EngineCommands.h"
#include "cli/HarvestCommands.h"
#include "cli/MatchCommand.h"
#include "cli/PathsCommand.h"
#include "core/Version.h"

namespace zorvik::cli {

namespace {

using Command = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);

struct CommandEntry {
  std::string_view name;
  Command run;
  std::string_view summary;
};

constexpr CommandEntry kCommands[] = {
    {"match", RunMatchCommand, "test saved pages against a search expression"},
    {"harvest", RunHarvestCommand, "harvest e-mail addresses from saved pages"},
    {"report", RunReportCommand, "write the searched report of a URL file"},
    {"query", RunQueryCommand, "print the request address an engine gets"},
    {"cut", RunCutCommand, "cut an engine's result section out of a saved page"},
    {"crawl", RunCrawlCommand, "run a search of the robot: crawl from an address or ask engines"},
    {"paths", RunPathsCommand, "print where the program's files are read and written"},
};

void PrintCommands(std::ostream& out) {
  out << "usage: zorvik-search COMMAND [OPTIONS]...\n\ncommands:\n";
  for (const CommandEntry& c : kCommands) {
    out << "  " << c.name << std::string(10 - c.name.size(), ' ') << c.summary << '\n';
  }
  out << "\n'zorvik-search COMMAND --help' describes a command; 'zorvik-search --version'\n"
         "prints the version.\n";
}

}  // namespace

int RunSearchTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "zorvik-search: no command given\n";
    PrintCommands(err);
    return kUsageError;
  }
  if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
    PrintCommands(out);
    return kMatched;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    out << VersionLine("zorvik-search") << '\n';
    return kMatched;
  }
  for (const CommandEntry& c : kCommands) {
    if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  err << "zorvik-search: unknown command " << args[0] << '\n';
  PrintCommands(err);
  return kUsageError;
}

}  // namespace zorvik::cli
