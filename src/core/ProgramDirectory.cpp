#include "core/ProgramDirectory.h"

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <system_error>

namespace zorvik {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path>& Chosen() {
  static std::optional<fs::path> dir;
  return dir;
}

fs::path ExecutableDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path();
}

fs::path UserDataDirectory() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return fs::path(xdg) / "zorvik";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local/share/zorvik";
  return fs::temp_directory_path() / "zorvik";
}

}  // namespace

fs::path ProgramDirectory() {
  if (Chosen()) return *Chosen();
  fs::path dir = ExecutableDirectory();
  if (dir.empty() || ::access(dir.c_str(), W_OK) != 0) {
    dir = UserDataDirectory();
    std::error_code ec;
    fs::create_directories(dir, ec);
  }
  Chosen() = dir;
  return dir;
}

void SetProgramDirectory(const fs::path& dir) { Chosen() = dir; }

}  // namespace zorvik
