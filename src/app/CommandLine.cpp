#include "app/CommandLine.h"

#include <iostream>
#include <string_view>

#include "core/Version.h"

namespace zorvik::app {

namespace {

constexpr const char* kHelp =
    "usage: zorvik [--help] [--version] [Qt options]\n"
    "\n"
    "Zorvik searches the web and collects what it finds. It starts in its main\n"
    "window; the search robot, the mail composer and the internal browser open\n"
    "from there. Its Help menu describes every window and the search language.\n"
    "\n"
    "  -h, --help      print this text and end\n"
    "  -V, --version   print the version and end\n"
    "\n"
    "Any other argument is one of Qt's (for example -platform offscreen).\n"
    "\n"
    "Files:\n"
    "  The program directory holds every file a search writes, the bookmark file\n"
    "  and sitesearch.txt: the directory of the executable when it is writable and\n"
    "  not installed, else $XDG_DATA_HOME/zorvik (~/.local/share/zorvik).\n"
    "  The settings file karrow.ini is in the program directory, or in\n"
    "  $XDG_CONFIG_HOME/zorvik (~/.config/zorvik) when that is the per-user one.\n"
    "  It holds the POP3 password in clear and is readable by its owner only.\n"
    "  Pages and the endpoints file engines.ini are read from the program\n"
    "  directory when a copy is there, else from where the program was installed\n"
    "  (../share/zorvik beside its bin/ folder).\n"
    "  'zorvik-search paths' prints all of these places.\n";

}  // namespace

std::optional<int> AnswerCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kHelp;
      return 0;
    }
    if (a == "--version" || a == "-V") {
      std::cout << VersionLine("zorvik") << '\n';
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace zorvik::app
