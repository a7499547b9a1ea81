#include "cli/PathsCommand.h"

#include <filesystem>
#include <ostream>

#include "cli/MatchCommand.h"
#include "core/ProgramDirectory.h"
#include "engines/EngineEndpoints.h"
#include "settings/SettingsFile.h"

namespace zorvik::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "usage: zorvik-search paths [--program-dir DIR]\n";

constexpr const char* kHelp =
    "Prints where the desktop program zorvik, and the commands of zorvik-search\n"
    "that read the endpoints file, find their files. Nothing is created.\n"
    "\n"
    "  --program-dir DIR   the program directory to assume (as the commands take it)\n"
    "\n"
    "program directory  where every output file, the bookmark file and\n"
    "                   sitesearch.txt are: the directory of the executable when\n"
    "                   it is writable and not installed (bin/ beside\n"
    "                   share/zorvik), else $XDG_DATA_HOME/zorvik\n"
    "                   (~/.local/share/zorvik)\n"
    "settings file      karrow.ini: in the program directory, or in\n"
    "                   $XDG_CONFIG_HOME/zorvik (~/.config/zorvik) when the program\n"
    "                   directory is the per-user one\n"
    "shipped files      pages and the endpoints file: the first of the listed\n"
    "                   places that holds the file\n";

}  // namespace

int RunPathsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const fs::path exeDir = ExecutableDirectory();
  layout::ProgramPlace place = layout::ChooseProgramDirectory(exeDir);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-h" || args[i] == "--help") {
      out << kUsage << '\n' << kHelp;
      return kMatched;
    }
    if (args[i] == "--program-dir" && i + 1 < args.size()) {
      place = {args[++i], false};
      continue;
    }
    err << "zorvik-search paths: unexpected " << args[i] << '\n' << kUsage;
    return kUsageError;
  }
  out << "program directory: " << place.dir.string() << '\n'
      << "settings file: " << (layout::SettingsDirectoryFor(place) / std::string(kSettingsFileName)).string() << '\n'
      << "shipped files:\n";
  for (const fs::path& p : layout::ShippedFilePlaces(place.dir, exeDir)) out << "  " << p.string() << '\n';
  const std::string_view name = EngineEndpoints::kFileName;
  const auto endpoints = layout::FindShippedFile(name, place.dir, exeDir);
  out << name << ": " << (endpoints ? endpoints->string() : std::string("none, every engine on its default"))
      << '\n';
  return kMatched;
}

}  // namespace zorvik::cli
