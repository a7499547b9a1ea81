#pragma once
// The program directory: where every output file of a search, the settings
// file and the bookmark file live. The directory of the executable when it is
// writable, otherwise the per-user data directory ($XDG_DATA_HOME/zorvik,
// default ~/.local/share/zorvik). Tests and the command-line tool point it
// elsewhere with SetProgramDirectory.

#include <filesystem>

namespace zorvik {

std::filesystem::path ProgramDirectory();
void SetProgramDirectory(const std::filesystem::path& dir);

// Where the settings file lives: the program directory when that is the
// executable's own writable directory or one set by SetProgramDirectory;
// otherwise the per-user configuration directory ($XDG_CONFIG_HOME/zorvik,
// default ~/.config/zorvik), created on first use.
std::filesystem::path SettingsDirectory();

}  // namespace zorvik
