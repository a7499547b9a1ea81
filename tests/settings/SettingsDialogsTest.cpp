#include <gtest/gtest.h>

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

class SettingsDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectory(dir_.path()); }

  testing::FakeHost host_;
  testing::TempDir dir_;
  fs::path file_ = dir_.path() / "karrow.ini";
  MailSettings settings_;
  ConnectionOptionsModel dialog_{host_, settings_, file_.string()};
};

TEST_F(SettingsDialogsTest, FirstStartSavesZeroWhichLoadsAsSixty) {
  dialog_.Form_Load();
  EXPECT_EQ(dialog_.Text5, "0") << "nothing has been read yet";
  dialog_.PopHost = "pop.example.org";
  dialog_.Text1 = "Alice";
  ASSERT_TRUE(dialog_.Ok_Click());
  EXPECT_EQ(testing::ReadFile(file_),
            "pop.example.org\r\n\r\n\r\n\r\n\r\n\r\nAlice\r\n\r\n\r\n\r\n 0 \r\n");
  MailSettings next;
  ASSERT_TRUE(LoadSettingsFile(file_, next));
  ApplyLoadDefaults(next);
  EXPECT_EQ(next.TimeOut, 60);
  EXPECT_EQ(next.NoticeSender, "Alice");
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(SettingsDialogsTest, OkRefusesLineBreaksAndBadTimeOutsNamingTheField) {
  struct Case {
    std::string ConnectionOptionsModel::*box;
    const char* value;
    const char* field;
  };
  const Case cases[] = {
      {&ConnectionOptionsModel::PopPassword, "pass\nword", "\"Password\""},
      {&ConnectionOptionsModel::Text4, "/mail\r", "\"Maildirectory\""},
      {&ConnectionOptionsModel::Text2, "street\r\ncity", "\"Address\""},
      {&ConnectionOptionsModel::Text5, "abc", "\"TimeOut\""},
      {&ConnectionOptionsModel::Text5, "32768", "\"TimeOut\""},
      {&ConnectionOptionsModel::Text5, "-1", "\"TimeOut\""},
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
