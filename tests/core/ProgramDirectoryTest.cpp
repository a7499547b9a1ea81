#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/ProgramDirectory.h"
#include "support/TestFiles.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using testing::WriteFile;

// A scratch folder holding a build tree (build/bin) and an installed tree
// (usr/bin beside usr/share/zorvik), with the XDG variables pointed into it.
class ProgramLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const fs::path& d : {buildBin, usrBin, share}) fs::create_directories(d);
    Keep("XDG_DATA_HOME", (root / "data").string());
    Keep("XDG_CONFIG_HOME", (root / "config").string());
  }
  void TearDown() override {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {  // the oldest value last
      const auto& [name, value] = *it;
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  }
  void Keep(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }

  testing::TempDir scratch;
  const fs::path root = scratch.path();
  const fs::path buildBin = root / "build" / "bin", usrBin = root / "usr" / "bin";
  const fs::path share = root / "usr" / "share" / "zorvik";
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(ProgramLayoutTest, BuildTreeWritesAndReadsBesideTheExecutable) {
  WriteFile(buildBin / "info.htm", "built");
  EXPECT_FALSE(layout::IsInstalledLayout(buildBin));
  const layout::ProgramPlace place = layout::ChooseProgramDirectory(buildBin);
  EXPECT_EQ(place.dir, buildBin);
  EXPECT_FALSE(place.perUser);
  EXPECT_EQ(layout::SettingsDirectoryFor(place), buildBin);
  EXPECT_EQ(layout::FindShippedFile("info.htm", place.dir, buildBin), buildBin / "info.htm");
  EXPECT_EQ(layout::FindShippedFile("home.htm", place.dir, buildBin), std::nullopt);

  // A program directory set elsewhere (--program-dir) comes first, then the executable's.
  const fs::path elsewhere = root / "elsewhere";
  fs::create_directories(elsewhere / "home.htm");  // a directory is no file
  EXPECT_EQ(layout::FindShippedFile("info.htm", elsewhere, buildBin), buildBin / "info.htm");
  EXPECT_EQ(layout::FindShippedFile("home.htm", elsewhere, buildBin), std::nullopt);
  WriteFile(elsewhere / "info.htm", "changed by the user");
  EXPECT_EQ(layout::FindShippedFile("info.htm", elsewhere, buildBin), elsewhere / "info.htm");
}

TEST_F(ProgramLayoutTest, InstalledTreeWritesToTheUserDirectoriesAndReadsFromShare) {
  WriteFile(share / "engines.ini", "# shipped");
  // Even a writable bin/ (root's /usr/bin) receives no output files.
  ASSERT_EQ(::access(usrBin.c_str(), W_OK), 0);
  EXPECT_TRUE(layout::IsInstalledLayout(usrBin));
  const layout::ProgramPlace place = layout::ChooseProgramDirectory(usrBin);
  EXPECT_EQ(place.dir, root / "data" / "zorvik");
  EXPECT_TRUE(place.perUser);
  EXPECT_EQ(layout::SettingsDirectoryFor(place), root / "config" / "zorvik");
  EXPECT_EQ(layout::ShippedFilePlaces(place.dir, usrBin),
            (std::vector<fs::path>{root / "data" / "zorvik", usrBin, share}));
  EXPECT_EQ(layout::FindShippedFile("engines.ini", place.dir, usrBin), share / "engines.ini");
  fs::create_directories(place.dir);
  WriteFile(place.dir / "engines.ini", "# the user's");
  EXPECT_EQ(layout::FindShippedFile("engines.ini", place.dir, usrBin), place.dir / "engines.ini");

  // Only a bare name is looked up: nothing outside the places is reached.
  WriteFile(root / "usr" / "secret", "x");
  for (const char* name : {"", ".", "..", "../secret", "zorvik/../../secret", "/etc/passwd"})
    EXPECT_EQ(layout::FindShippedFile(name, place.dir, usrBin), std::nullopt) << name;
}

TEST_F(ProgramLayoutTest, UserDirectoriesFollowXdgOrHome) {
  Keep("HOME", (root / "home").string());
  EXPECT_EQ(layout::UserDataDirectory(), root / "data" / "zorvik");
  Keep("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
  Keep("XDG_CONFIG_HOME", "");
  EXPECT_EQ(layout::UserDataDirectory(), root / "home" / ".local" / "share" / "zorvik");
  EXPECT_EQ(layout::UserConfigDirectory(), root / "home" / ".config" / "zorvik");
}

}  // namespace
}  // namespace zorvik
