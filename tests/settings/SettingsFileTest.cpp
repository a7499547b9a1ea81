#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "settings/SettingsFile.h"
#include "support/MailPeers.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

const std::string kFile =
    "pop.example.org:1110\r\n"
    "alice\r\n"
    " pa55 w\xC3\xB6rd \r\n"  // blanks and UTF-8 kept as typed
    "smtp.example.org\r\n"
    "alice@example.org\r\n"
    "Alice\tA.\r\n"
    "Alice Example\r\n"
    "1 Main Street\r\n"
    "555-0100\r\n"
    "/home/alice/mail\r\n"
    " 120 \r\n";

MailSettings Parsed(std::string_view text) {
  MailSettings s;
  ParseSettings(text, s);
  ApplyLoadDefaults(s);
  return s;
}

TEST(SettingsFileTest, RoundTripsByteForByteOwnerOnly) {
  testing::TempDir dir;
  const fs::path file = dir.path() / "karrow.ini";
  testing::WriteFile(file, "old");
  ::chmod(file.c_str(), 0644);
  MailSettings s;
  ParseSettings(kFile, s);
  EXPECT_EQ(s.PopPassword, " pa55 w\xC3\xB6rd ");
  EXPECT_EQ(s.TimeOut, 120);
  ASSERT_TRUE(SaveSettingsFile(file, s, s.MailDirectory));
  EXPECT_EQ(testing::ReadFile(file), kFile);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds the POP3 password";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "no temporary file left";
  MailSettings back;
  ASSERT_TRUE(LoadSettingsFile(file, back));
  EXPECT_EQ(back, s);
}

TEST(SettingsFileTest, LoadsWhatItCanAndDefaultsTheRest) {
  const std::string huge(5 << 20, 'x');
  struct Case {
    const char* what;
    std::string text;
    std::string mailDirectory;
    int timeOut;
    std::string popHost = "pop";
  };
  const Case cases[] = {
      {"0 becomes 60", "pop\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n 0 \r\n", "", 60},
      {"one backslash off", "pop\n\n\n\n\n\n\n\n\nC:\\mail\\\n 5 \n", "C:\\mail", 5},
      {"only one of two", "pop\r\r\r\r\r\r\r\r\rC:\\mail\\\\\r 7", "C:\\mail\\", 7},
      {"three lines", "pop\r\nuser\r\npass\r\n", "", 60},
      {"line 11 not a number", "pop\n\n\n\n\n\n\n\n\nd\n 6O \n", "d", 60},
      {"line 11 too big", "pop\n\n\n\n\n\n\n\n\nd\n 32768 \n", "d", 60},
      {"line 11 negative", "pop\n\n\n\n\n\n\n\n\nd\n -5 \n", "d", 60},
      {"an over-long line", "pop\n\n\n\n\n\n\n\n\n" + huge + "\n 9 \n", "", 9},
      {"an over-long first line", huge + "\n\n\n\n\n\n\n\n\nd\n 9 \n", "d", 9, ""},
      {"binary bytes", "pop\n\n\n\n\n\n\n\n\n" + std::string("\0\xff\x01", 3) + "\n 9 \n",
       std::string("\0\xff\x01", 3), 9},
  };
  for (const Case& c : cases) {
    const MailSettings s = Parsed(c.text);
    EXPECT_EQ(s.PopHost, c.popHost) << c.what;
    EXPECT_EQ(s.MailDirectory, c.mailDirectory) << c.what;
    EXPECT_EQ(s.TimeOut, c.timeOut) << c.what;
  }
}

TEST(SettingsFileTest, MissingUnreadableOrEmptyFileIsNotLoaded) {
  testing::TempDir dir;
  MailSettings s;
  s.PopHost = "kept";
  testing::WriteFile(dir.path() / "empty.ini", "");
  for (const char* name : {"missing.ini", "empty.ini", "."})
    EXPECT_FALSE(LoadSettingsFile(dir.path() / name, s)) << name;
  EXPECT_EQ(s.PopHost, "kept");
}

TEST(SettingsFileTest, SaveRefusesLineBreaksAndKeepsTheOldFile) {
  testing::TempDir dir;
  const fs::path file = dir.path() / "karrow.ini";
  testing::WriteFile(file, kFile);
  MailSettings s;
  s.SmtpHost = "smtp\r\nevil";
  EXPECT_FALSE(SaveSettingsFile(file, s, ""));
  EXPECT_FALSE(SaveSettingsFile(file, MailSettings{}, "dir\n"));
  fs::create_directories(dir.path() / "taken" / "inside");
  EXPECT_FALSE(SaveSettingsFile(dir.path() / "taken", MailSettings{}, "")) << "a folder in the way";
  EXPECT_EQ(testing::ReadFile(file), kFile);
}

}  // namespace
}  // namespace zorvik
