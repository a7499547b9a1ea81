#include <gtest/gtest.h>

#include <chrono>
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
    "To: alice@example.net\r\n"
    "Subject: =?UTF-8?Q?F=C3=BCr_dich?=\r\n"
    "Date: Sun, 6 Dec 2026 10:00:00 +0000\r\n"
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
    mail_->SetMailDirectory((dir_.path() / "inbox").string());
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
  std::unique_ptr<mMail> mail_;
};

testing::DovecotServer* Pop3Test::server_ = nullptr;

TEST_F(Pop3Test, FetchesExactBytesIntoNumberedFiles) {
  long lastDone = -1, lastTotal = -1;
  mail_->onProgress = [&](long done, long total) {
    EXPECT_LE(done, total);
    lastDone = done;
    lastTotal = total;
  };
  fs::create_directories(dir_.path() / "inbox");
  testing::WriteFile(dir_.path() / "inbox" / "7.msg", "old");
  testing::WriteFile(dir_.path() / "inbox" / "notes.txt", "not a message");

  const MailStatus s = mail_->SetAction(1);
  ASSERT_TRUE(s.ok()) << s.description;
  EXPECT_EQ(mail_->MessageCount(), 2);
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(fs::path(mail_->MessageFile()).filename(), "8.msg");
  EXPECT_EQ(testing::ReadFile(mail_->MessageFile()), kFirst) << "dot lines come back unstuffed";
  EXPECT_EQ(lastDone, static_cast<long>(kFirst.size()));
  EXPECT_EQ(lastTotal, static_cast<long>(kFirst.size())) << "the total is the listed size";

  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(fs::path(mail_->MessageFile()).filename(), "9.msg");
  EXPECT_TRUE(testing::ReadFile(mail_->MessageFile()) == Second());
  EXPECT_EQ(lastDone, static_cast<long>(Second().size()));
  EXPECT_EQ(lastTotal, lastDone);

  EXPECT_EQ(Fetch().number, kErrInternalState) << "no third message";
  ASSERT_TRUE(mail_->SetAction(8).ok());
  EXPECT_EQ(server_->MailboxSize(), 2) << "nothing deleted";
  EXPECT_EQ(testing::ReadFile(dir_.path() / "inbox" / "7.msg"), "old");
  for (const auto& e : fs::directory_iterator(dir_.path() / "inbox"))
    EXPECT_NE(e.path().filename().string().rfind(".fetch", 0), 0u) << "no partial file left";

  // The file just written is read back as a stored message.
  mail_->SetFlags(2);
  mail_->SetMessageFile((dir_.path() / "inbox" / "8.msg").string());
  ASSERT_TRUE(mail_->SetAction(13).ok());
  EXPECT_EQ(mail_->Subject(), "Für dich");
  EXPECT_EQ(mail_->From(), "Ann <ann@example.org>");
}

TEST_F(Pop3Test, FetchesIntoTheFileTheCallerNames) {
  ASSERT_TRUE(mail_->SetAction(1).ok());
  const fs::path target = dir_.path() / "chosen.eml";
  mail_->SetMessageFile(target.string());
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(testing::ReadFile(target), kFirst);
  ASSERT_TRUE(Fetch().ok()) << "a named file serves one fetch; the next is numbered";
  EXPECT_EQ(fs::path(mail_->MessageFile()).filename(), "1.msg");
  EXPECT_EQ(testing::ReadFile(target), kFirst) << "the named file is not overwritten";
  ASSERT_TRUE(mail_->SetAction(8).ok());
}

TEST_F(Pop3Test, DeleteThenCloseRemovesTheMessage) {
  ASSERT_TRUE(mail_->SetAction(1).ok());
  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState) << "nothing fetched yet";
  ASSERT_TRUE(Fetch().ok());
  ASSERT_TRUE(mail_->SetAction(10).ok());
  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState) << "already deleted";
  EXPECT_EQ(server_->MailboxSize(), 2) << "deletion waits for the close";
  ASSERT_TRUE(mail_->SetAction(8).ok());
  EXPECT_EQ(server_->MailboxSize(), 1);

  ASSERT_TRUE(mail_->SetAction(1).ok());
  EXPECT_EQ(mail_->MessageCount(), 1);
  ASSERT_TRUE(Fetch().ok());
  EXPECT_TRUE(testing::ReadFile(mail_->MessageFile()) == Second());
  ASSERT_TRUE(mail_->SetAction(8).ok());
}

TEST_F(Pop3Test, FailedFetchIsNeitherCountedNorDeletable) {
  ASSERT_TRUE(mail_->SetAction(1).ok());
  testing::WriteFile(dir_.path() / "file", "x");
  mail_->SetMailDirectory((dir_.path() / "file" / "sub").string());
  EXPECT_EQ(Fetch().number, kErrCannotOpenFile);
  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState)
      << "a message that was not saved must not be deleted";
  mail_->SetMailDirectory((dir_.path() / "inbox").string());
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(testing::ReadFile(mail_->MessageFile()), kFirst) << "the retry fetches the same one";
  ASSERT_TRUE(mail_->SetAction(8).ok());
  EXPECT_EQ(server_->MailboxSize(), 2);
}

TEST_F(Pop3Test, RetrievalStateMachineWithoutBlocking) {
  ASSERT_TRUE(mail_->SetBlocking(false).ok());
  std::vector<std::string> log;
  int fetched = 0;
  bool finished = false;
  enum { kConnecting, kFetching, kDeleting, kClosing } state = kConnecting;
  mail_->onAsyncError = [&](int n, const std::string& d) {
    log.push_back("error " + std::to_string(n) + " " + d);
    finished = true;
  };
  mail_->onDone = [&] {
    switch (state) {
      case kConnecting:
        log.push_back("connected " + std::to_string(mail_->MessageCount()));
        state = kFetching;
        ++fetched;
        mail_->SetFlags(4);
        EXPECT_TRUE(mail_->SetAction(13).ok());
        break;
      case kFetching:
        log.push_back("fetched");
        state = kDeleting;
        EXPECT_TRUE(mail_->SetAction(10).ok());
        break;
      case kDeleting:
        log.push_back("deleted");
        if (fetched < mail_->MessageCount()) {
          state = kFetching;
          ++fetched;
          EXPECT_TRUE(mail_->SetAction(13).ok());
        } else {
          state = kClosing;
          EXPECT_TRUE(mail_->SetAction(8).ok());
        }
        break;
      case kClosing:
        log.push_back("closed");
        finished = true;
        break;
    }
  };
  ASSERT_TRUE(mail_->SetAction(1).ok());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!finished && std::chrono::steady_clock::now() < deadline)
    host_.WaitEvents(std::chrono::milliseconds(50));
  EXPECT_EQ(log, (std::vector<std::string>{"connected 2", "fetched", "deleted", "fetched",
                                           "deleted", "closed"}));
  EXPECT_EQ(server_->MailboxSize(), 0);
  EXPECT_TRUE(fs::exists(dir_.path() / "inbox" / "1.msg"));
  EXPECT_TRUE(fs::exists(dir_.path() / "inbox" / "2.msg"));
}

TEST_F(Pop3Test, LoginAndConnectionFailures) {
  std::string trace;
  mail_->onTraceText = [&](const std::string& t) { trace += t; };
  mail_->SetTrace(1);
  mail_->SetPopPassword("wrong");
  MailStatus s = mail_->SetAction(1);
  EXPECT_EQ(s.number, 20004);
  EXPECT_EQ(s.description, "Login failed.");
  EXPECT_FALSE(mail_->Connected());
  EXPECT_EQ(mail_->MessageCount(), 0);
  EXPECT_NE(trace.find("+OK"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("wrong"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("d3Jvbmc"), std::string::npos) << trace;  // base64 of "wrong"
  EXPECT_EQ(trace.find("AGFsaWNl"), std::string::npos) << trace;  // "\0alice..."

  mail_->SetPopPassword("pa55 word");
  mail_->SetPopHost("127.0.0.1:" + std::to_string(testing::RefusedPort()));
  s = mail_->SetAction(1);
  EXPECT_EQ(s.number, 10061);
  EXPECT_EQ(s.description, "The requested connection has been refused by the remote host.");

  mail_->SetPopUserName("");
  EXPECT_EQ(mail_->SetAction(1).number, kErrInvalidUserName);
}

}  // namespace
}  // namespace zorvik::mail
