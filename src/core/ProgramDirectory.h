#pragma once
// Where the program's files are: the files it writes (every output file of a
// search, the settings file, the bookmark file) and the files it ships with
// (pages, the endpoints file).
//
// Files the program writes go to the program directory: the directory of the
// executable when it is writable and not an installed layout, otherwise the
// per-user data directory ($XDG_DATA_HOME/zorvik, default
// ~/.local/share/zorvik). An installed layout is an executable in a bin/
// folder beside share/zorvik (/usr/bin/zorvik and /usr/share/zorvik): even a
// writable /usr/bin never receives output files. Tests and the command-line
// tool point the program directory elsewhere with SetProgramDirectory.
//
// The settings file lives in the program directory too, except where the
// program directory is the per-user data directory: then it goes to the
// per-user configuration directory ($XDG_CONFIG_HOME/zorvik, default
// ~/.config/zorvik), which is created readable by its owner only.
//
// A shipped file is looked up in three places, the first that holds it wins:
// the program directory (a copy the user changed), the executable's directory
// (the build tree, where the build puts them beside the programs, or a
// program unpacked into one folder) and ../share/zorvik from the executable
// (the installed layout).

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace zorvik {

std::filesystem::path ProgramDirectory();
void SetProgramDirectory(const std::filesystem::path& dir);

// Where the settings file lives (see above), created on first use.
std::filesystem::path SettingsDirectory();

// The directory of the running executable; empty when it cannot be told.
std::filesystem::path ExecutableDirectory();

// The shipped file `name` ("info.htm", "engines.ini") by the lookup above;
// nothing when none of the places holds it as a regular file.
std::optional<std::filesystem::path> ShippedFile(std::string_view name);

// The rules themselves, for an executable in `exeDir`; the functions above
// apply them to the running program.
namespace layout {

// exeDir/../share/zorvik: the shipped files of an installed program.
std::filesystem::path InstalledShareDirectory(const std::filesystem::path& exeDir);
// True when exeDir is a bin/ folder beside share/zorvik.
bool IsInstalledLayout(const std::filesystem::path& exeDir);
// The places a shipped file is looked for, in order.
std::vector<std::filesystem::path> ShippedFilePlaces(const std::filesystem::path& programDir,
                                                     const std::filesystem::path& exeDir);
std::optional<std::filesystem::path> FindShippedFile(std::string_view name, const std::filesystem::path& programDir,
                                                     const std::filesystem::path& exeDir);
// The program directory for an executable in exeDir (empty: unknown), and
// whether that is the per-user data directory rather than exeDir.
struct ProgramPlace {
  std::filesystem::path dir;
  bool perUser = false;
};
ProgramPlace ChooseProgramDirectory(const std::filesystem::path& exeDir);
// Where the settings file of that program directory lives.
std::filesystem::path SettingsDirectoryFor(const ProgramPlace& place);
// $XDG_DATA_HOME/zorvik and $XDG_CONFIG_HOME/zorvik (an XDG variable counts
// only when it holds an absolute path; otherwise ~/.local/share/zorvik and
// ~/.config/zorvik).
std::filesystem::path UserDataDirectory();
std::filesystem::path UserConfigDirectory();

}  // namespace layout

}  // namespace zorvik
