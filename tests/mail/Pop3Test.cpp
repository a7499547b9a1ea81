#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;

const std::string kFirst =
    "From: Ann <ann@example.org>\r\n"
    "Subject: =?UTF-8?Q?F=C3=BCr_dich?=\r\n"
    "\r\n"
    "Hello Alice,\r\n"
    ".a line with a leading dot\r\n"
    ".\r\n"
    "bye\r\n";

std::string Second() {
  std::string m = "From: bob@example.com\r\nSubject: big\r\n\r\n";
  for (int i = 0; i < 2000; ++i) m += "line " + std::to_string(i) + " of a longer message\r\n";
  return m;
}

class Pop3Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new testing::DovecotServer("alice", "pa55 word"); }
  static void TearDownTestSuite() { delete server_; }

  void SetUp() override {
    server_->SetMailbox({kFirst, Second()});
    mail_ = std::make_unique<mMail>(host_);
    mail_->SetPopHost(server_->host());
    mail_->SetPopUserName("alice");
    mail_->SetPopPassword("pa55 word");
    mail_->SetMailDirectory(inbox_.string());
    mail_->SetTimeOut(10);
    ASSERT_TRUE(mail_->SetBlocking(true).ok());
  }

  MailStatus Fetch() {
    mail_->SetFlags(4);
    return mail_->SetAction(13);
  }

  static testing::DovecotServer* server_;
  testing::FakeHost host_;
  testing::TempDir dir_;
  fs::path inbox_ = dir_.path() / "inbox";
  std::unique_ptr<mMail> mail_;
};

testing::DovecotServer* Pop3Test::server_ = nullptr;

TEST_F(Pop3Test, FetchesExactBytesAndDeletesOnClose) {
  long lastDone = -1, lastTotal = -1;
  mail_->onProgress = [&](long done, long total) {
    EXPECT_LE(done, total);
    lastDone = done;
    lastTotal = total;
  };
  fs::create_directories(inbox_);
  testing::WriteFile(inbox_ / "7.msg", "old");
  const MailStatus s = mail_->SetAction(1);
  ASSERT_TRUE(s.ok()) << s.description;
  EXPECT_EQ(mail_->MessageCount(), 2);

  mail_->SetMessageFile(inbox_.string());  // received, but cannot take the place of a folder
  EXPECT_EQ(Fetch().number, kErrCannotOpenFile);
  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState)
      << "a message that was not saved must not be deleted";
  mail_->SetMessageFile((dir_.path() / "chosen.eml").string());
  ASSERT_TRUE(Fetch().ok()) << "the retry fetches the same message";
  EXPECT_EQ(testing::ReadFile(dir_.path() / "chosen.eml"), kFirst) << "dot lines come back";
  EXPECT_EQ(lastDone, static_cast<long>(kFirst.size()));
  EXPECT_EQ(lastTotal, lastDone);
  ASSERT_TRUE(Fetch().ok()) << "a file the caller names serves one fetch";
  EXPECT_EQ(mail_->MessageFile(), (inbox_ / "8.msg").string()) << "numbered after the highest";
  EXPECT_TRUE(testing::ReadFile(inbox_ / "8.msg") == Second());
  EXPECT_EQ(lastDone, static_cast<long>(Second().size()));
  EXPECT_EQ(lastTotal, lastDone);
  EXPECT_EQ(Fetch().number, kErrInternalState) << "no third message";

  ASSERT_TRUE(mail_->SetAction(10).ok());
  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState) << "already deleted";
  EXPECT_EQ(server_->MailboxSize(), 2) << "deletion waits for the close";
  ASSERT_TRUE(mail_->SetAction(8).ok());
  EXPECT_EQ(server_->MailboxSize(), 1);
  EXPECT_EQ(testing::ReadFile(inbox_ / "7.msg"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(inbox_), {}), 2);  // 7.msg, 8.msg
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), 2) << "no partial file left";
  ASSERT_TRUE(mail_->SetAction(1).ok());
  EXPECT_EQ(mail_->MessageCount(), 1);
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(testing::ReadFile(mail_->MessageFile()), kFirst) << "the one fetched last went";
  ASSERT_TRUE(mail_->SetAction(8).ok());
}

TEST_F(Pop3Test, LoginAndConnectionFailures) {
  std::string trace;
  mail_->onTraceText = [&](const std::string& t) { trace += t; };
  mail_->SetTrace(1);
  mail_->SetPopPassword("wrong");
  EXPECT_EQ(mail_->SetAction(1).number, 20004);
  EXPECT_FALSE(mail_->Connected());
  EXPECT_NE(trace.find("+OK"), std::string::npos) << trace;
  // The password, its base64 and that of "\0alice\0wrong".
  for (const char* hidden : {"wrong", "d3Jvbmc", "AGFsaWNl"})
    EXPECT_EQ(trace.find(hidden), std::string::npos) << trace;

  mail_->SetPopPassword("pa55 word");
  mail_->SetPopHost("127.0.0.1:" + std::to_string(testing::FreePort()));
  EXPECT_EQ(mail_->SetAction(1).number, 10061);
  mail_->SetPopUserName("");
  EXPECT_EQ(mail_->SetAction(1).number, kErrInvalidUserName);
}

}  // namespace
}  // namespace zorvik::mail
