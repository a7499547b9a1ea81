#include "core/ProgramDirectory.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace zorvik {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path>& Chosen() {
  static std::optional<fs::path> dir;
  return dir;
}

// True when the program directory is the per-user data directory.
bool& PerUser() {
  static bool perUser = false;
  return perUser;
}

// $VAR/zorvik when VAR holds an absolute path, else ~/`fallback`/zorvik.
fs::path UserDirectory(const char* var, const char* fallback) {
  if (const char* xdg = std::getenv(var); xdg && *xdg == '/') return fs::path(xdg) / "zorvik";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / fallback / "zorvik";
  return fs::temp_directory_path() / "zorvik";
}

bool IsDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

}  // namespace

namespace layout {

fs::path InstalledShareDirectory(const fs::path& exeDir) {
  return (exeDir.parent_path() / "share" / "zorvik").lexically_normal();
}

bool IsInstalledLayout(const fs::path& exeDir) {
  return !exeDir.empty() && exeDir.filename() == "bin" && IsDirectory(InstalledShareDirectory(exeDir));
}

std::vector<fs::path> ShippedFilePlaces(const fs::path& programDir, const fs::path& exeDir) {
  std::vector<fs::path> places;
  auto add = [&places](const fs::path& p) {
    if (p.empty()) return;
    for (const fs::path& q : places)
      if (q == p) return;
    places.push_back(p);
  };
  add(programDir);
  if (!exeDir.empty()) {
    add(exeDir);
    add(InstalledShareDirectory(exeDir));
  }
  return places;
}

std::optional<fs::path> FindShippedFile(std::string_view name, const fs::path& programDir, const fs::path& exeDir) {
  // A bare file name only: nothing outside the places is reachable.
  const fs::path file{std::string(name)};
  if (name.empty() || file.has_parent_path() || file.is_absolute() || name == "." || name == "..") return std::nullopt;
  for (const fs::path& place : ShippedFilePlaces(programDir, exeDir)) {
    std::error_code ec;
    if (fs::is_regular_file(place / file, ec)) return place / file;
  }
  return std::nullopt;
}

ProgramPlace ChooseProgramDirectory(const fs::path& exeDir) {
  if (!exeDir.empty() && !IsInstalledLayout(exeDir) && ::access(exeDir.c_str(), W_OK) == 0) return {exeDir, false};
  return {UserDataDirectory(), true};
}

fs::path SettingsDirectoryFor(const ProgramPlace& place) {
  return place.perUser ? UserConfigDirectory() : place.dir;
}

fs::path UserDataDirectory() { return UserDirectory("XDG_DATA_HOME", ".local/share"); }
fs::path UserConfigDirectory() { return UserDirectory("XDG_CONFIG_HOME", ".config"); }

}  // namespace layout

fs::path ExecutableDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path();
}

fs::path ProgramDirectory() {
  if (Chosen()) return *Chosen();
  const layout::ProgramPlace place = layout::ChooseProgramDirectory(ExecutableDirectory());
  if (place.perUser) {
    std::error_code ec;
    fs::create_directories(place.dir, ec);
  }
  Chosen() = place.dir;
  PerUser() = place.perUser;
  return place.dir;
}

void SetProgramDirectory(const fs::path& dir) {
  Chosen() = dir;
  PerUser() = false;
}

fs::path SettingsDirectory() {
  const fs::path program = ProgramDirectory();
  if (!PerUser()) return program;
  const fs::path dir = layout::SettingsDirectoryFor({program, true});
  std::error_code ec;
  if (fs::create_directories(dir, ec)) fs::permissions(dir, fs::perms::owner_all, ec);
  return dir;
}

std::optional<fs::path> ShippedFile(std::string_view name) {
  return layout::FindShippedFile(name, ProgramDirectory(), ExecutableDirectory());
}

}  // namespace zorvik
