#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/ProgramDirectory.h"
#include "settings/ConnectionOptionsModel.h"
#include "settings/SettingsFile.h"
#include "settings/UserInfoModel.h"
#include "support/FakeHost.h"
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

// A file that is missing, empty or not a file loads nothing; a value with a
// line break or a folder in the way saves nothing and keeps the old file.
TEST(SettingsFileTest, WhatCannotBeLoadedOrSavedChangesNothing) {
  testing::TempDir dir;
  MailSettings s;
  s.PopHost = "kept";
  testing::WriteFile(dir.path() / "empty.ini", "");
  for (const char* name : {"missing.ini", "empty.ini", "."})
    EXPECT_FALSE(LoadSettingsFile(dir.path() / name, s)) << name;
  EXPECT_EQ(s.PopHost, "kept");
  const fs::path file = dir.path() / "karrow.ini";
  testing::WriteFile(file, kFile);
  s.SmtpHost = "smtp\r\nevil";
  EXPECT_FALSE(SaveSettingsFile(file, s, ""));
  EXPECT_FALSE(SaveSettingsFile(file, MailSettings{}, "dir\n"));
  fs::create_directories(dir.path() / "taken" / "inside");
  EXPECT_FALSE(SaveSettingsFile(dir.path() / "taken", MailSettings{}, "")) << "a folder in the way";
  EXPECT_EQ(testing::ReadFile(file), kFile);
}

class SettingsDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectory(dir_.path()); }

  testing::FakeHost host_;
  testing::TempDir dir_;
  fs::path file_ = dir_.path() / "karrow.ini";
  MailSettings settings_;
  ConnectionOptionsModel dialog_{host_, settings_, file_.string()};
};

// The 0 saved here loads as 60 (see the file table).
TEST_F(SettingsDialogsTest, FirstStartShowsAndSavesZero) {
  dialog_.Form_Load();
  EXPECT_EQ(dialog_.Text5, "0") << "nothing has been read yet";
  dialog_.PopHost = "pop.example.org";
  dialog_.Text1 = "Alice";
  ASSERT_TRUE(dialog_.Ok_Click());
  EXPECT_EQ(testing::ReadFile(file_),
            "pop.example.org\r\n\r\n\r\n\r\n\r\n\r\nAlice\r\n\r\n\r\n\r\n 0 \r\n");
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(SettingsDialogsTest, OkRefusesLineBreaksAndBadTimeOutsNamingTheField) {
  struct Case {
    std::string ConnectionOptionsModel::*box;
    const char* value;
    const char* field;
  };
  // The time-out's own rules are in the file table (one parser for both).
  const Case cases[] = {
      {&ConnectionOptionsModel::PopPassword, "pass\nword", "\"Password\""},
      {&ConnectionOptionsModel::Text4, "/mail\r", "\"Maildirectory\""},
      {&ConnectionOptionsModel::Text2, "street\r\ncity", "\"Address\""},
      {&ConnectionOptionsModel::Text5, "32768", "\"TimeOut\""},
      {&ConnectionOptionsModel::Text5, "", "\"TimeOut\""},
  };
  settings_.PopHost = "before";
  for (const Case& c : cases) {
    dialog_.Form_Load();
    dialog_.PopHost = "after";
    dialog_.*c.box = c.value;
    host_.messages.clear();
    EXPECT_FALSE(dialog_.Ok_Click()) << c.value;
    ASSERT_EQ(host_.messages.size(), 1u) << c.value;
    EXPECT_NE(host_.messages[0].text.find(c.field), std::string::npos) << host_.messages[0].text;
    EXPECT_EQ(host_.messages[0].title, "Connection Options");
    EXPECT_EQ(settings_.PopHost, "before") << "a refused Ok changes nothing";
  }
  EXPECT_FALSE(fs::exists(file_));
  dialog_.Text5 = " 32767 ";
  EXPECT_TRUE(dialog_.Ok_Click());
  EXPECT_EQ(settings_.TimeOut, 32767);
}

TEST_F(SettingsDialogsTest, MailDirectoryIsSavedButTakesEffectAtTheNextStart) {
  settings_.MailDirectory = "/old";
  dialog_.Form_Load();
  EXPECT_EQ(dialog_.Text4, "/old");
  host_.dialogAnswers = {std::nullopt, "/chosen"};
  dialog_.Command1_Click();
  EXPECT_EQ(dialog_.Text4, "/old") << "cancelling the chooser keeps the box";
  dialog_.Command1_Click();
  EXPECT_EQ(dialog_.Text4, "/chosen");
  EXPECT_EQ(host_.dialogs.back().initialDir, dir_.path().string());
  ASSERT_TRUE(dialog_.Ok_Click());
  EXPECT_EQ(settings_.MailDirectory, "/old");
  MailSettings next;
  ASSERT_TRUE(LoadSettingsFile(file_, next));
  EXPECT_EQ(next.MailDirectory, "/chosen");
}

TEST_F(SettingsDialogsTest, UnwritableFileIsReportedAndTheValuesHoldForTheRun) {
  fs::create_directories(file_ / "in-the-way");
  dialog_.Form_Load();
  dialog_.SmtpHost = "smtp.example.org";
  EXPECT_TRUE(dialog_.Ok_Click());
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].text.find(file_.string()), std::string::npos);
  EXPECT_EQ(settings_.SmtpHost, "smtp.example.org");
}

TEST_F(SettingsDialogsTest, UserDialogChangesTheRecordOnly) {
  testing::WriteFile(file_, "unchanged");
  settings_.Email = "old@example.org";
  UserInfoModel user(host_, settings_);
  user.Form_Load();
  EXPECT_EQ(user.Email, "old@example.org");
  user.UserName = "Bob\nBcc: x@example.org";
  EXPECT_FALSE(user.Ok_Click());
  EXPECT_NE(host_.messages.at(0).text.find("\"From Name\""), std::string::npos);
  user.Email = "bob@example.org";
  user.UserName = "Bob";
  EXPECT_TRUE(user.Ok_Click());
  EXPECT_EQ(settings_.Email, "bob@example.org");
  EXPECT_EQ(settings_.UserName, "Bob");
  EXPECT_EQ(testing::ReadFile(file_), "unchanged");
}

}  // namespace
}  // namespace zorvik
