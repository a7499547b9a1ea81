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

// True when ProgramDirectory() had to leave the executable's directory.
bool& FellBack() {
  static bool fellBack = false;
  return fellBack;
}

fs::path ExecutableDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path();
}

// $VAR/zorvik when VAR holds an absolute path, else ~/`fallback`/zorvik.
fs::path UserDirectory(const char* var, const char* fallback) {
  if (const char* xdg = std::getenv(var); xdg && *xdg == '/') return fs::path(xdg) / "zorvik";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / fallback / "zorvik";
  return fs::temp_directory_path() / "zorvik";
}

fs::path UserDataDirectory() {
  return UserDirectory("XDG_DATA_HOME", ".local/share");
}

}  // namespace

fs::path ProgramDirectory() {
  if (Chosen()) return *Chosen();
  fs::path dir = ExecutableDirectory();
  if (dir.empty() || ::access(dir.c_str(), W_OK) != 0) {
    dir = UserDataDirectory();
    FellBack() = true;
    std::error_code ec;
    fs::create_directories(dir, ec);
  }
  Chosen() = dir;
  return dir;
}

void SetProgramDirectory(const fs::path& dir) {
  Chosen() = dir;
  FellBack() = false;
}

fs::path SettingsDirectory() {
  const fs::path program = ProgramDirectory();
  if (!FellBack()) return program;
  const fs::path dir = UserDirectory("XDG_CONFIG_HOME", ".config");
  std::error_code ec;
  if (fs::create_directories(dir, ec)) fs::permissions(dir, fs::perms::owner_all, ec);
  return dir;
}

}  // namespace zorvik
