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

}  // namespace zorvik
