#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

// Every fsync of this program, as (device, inode) of what it flushed, in
// order; then the real one.
std::vector<std::pair<dev_t, ino_t>> g_flushed;
extern "C" int fsync(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0) g_flushed.emplace_back(st.st_dev, st.st_ino);
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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

  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState) << "nothing fetched to delete";
  ASSERT_TRUE(mail_->SetAction(1).ok());
  mail_->SetMessageFile((dir_.path() / "chosen.eml").string());
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(testing::ReadFile(dir_.path() / "chosen.eml"), kFirst) << "dot lines come back";
  EXPECT_EQ(lastDone, static_cast<long>(kFirst.size()));
  EXPECT_EQ(lastTotal, lastDone);
  ASSERT_TRUE(Fetch().ok()) << "a file the caller names serves one fetch";
  EXPECT_EQ(mail_->MessageFile(), (inbox_ / "8.msg").string()) << "numbered after the highest";
  EXPECT_TRUE(testing::ReadFile(inbox_ / "8.msg") == Second());
  EXPECT_EQ(lastDone, static_cast<long>(Second().size()));
  EXPECT_EQ(lastTotal, lastDone);
  ASSERT_TRUE(mail_->SetAction(10).ok());
  EXPECT_EQ(server_->MailboxSize(), 2) << "deletion waits for the end of the session";
  EXPECT_EQ(Fetch().number, kErrInternalState) << "no third message";
  EXPECT_EQ(server_->MailboxSize(), 1);
  EXPECT_EQ(testing::ReadFile(inbox_ / "7.msg"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(inbox_), {}), 2);  // 7.msg, 8.msg
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), 2) << "no partial file left";

  ASSERT_TRUE(mail_->SetAction(1).ok());
  EXPECT_EQ(mail_->MessageCount(), 1);
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(testing::ReadFile(mail_->MessageFile()), kFirst) << "the one fetched last went";
  ASSERT_TRUE(mail_->SetAction(10).ok());
  ASSERT_TRUE(mail_->SetAction(8).ok());
  EXPECT_EQ(server_->MailboxSize(), 0);
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

// A message counts as fetched only once it and its folder entry are on disk.
TEST_F(Pop3Test, AFetchedMessageIsFlushedToDisk) {
  auto flushed = [](const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    for (std::size_t i = 0; i < g_flushed.size(); ++i)
      if (g_flushed[i] == std::make_pair(st.st_dev, st.st_ino)) return static_cast<int>(i);
    return -1;
  };
  ASSERT_TRUE(mail_->SetAction(1).ok());
  for (const fs::path& chosen : {fs::path(), dir_.path() / "chosen.eml"}) {
    g_flushed.clear();
    if (!chosen.empty()) mail_->SetMessageFile(chosen.string());
    ASSERT_TRUE(Fetch().ok());
    const fs::path file = mail_->MessageFile();
    EXPECT_GE(flushed(file), 0) << file;
    EXPECT_GT(flushed(file.parent_path()), flushed(file)) << "the folder after the file";
  }
  ASSERT_TRUE(mail_->SetAction(8).ok());
}

// A failed fetch ends the session. Deletions made before it were of messages
// already stored; the failed message stays on the server.
TEST_F(Pop3Test, AFailedFetchEndsTheSessionAndLosesNoMail) {
  server_->SetMailbox({kFirst, Second(), "Subject: third\r\n\r\n3\r\n"});
  ASSERT_TRUE(mail_->SetAction(1).ok());
  ASSERT_TRUE(Fetch().ok());
  ASSERT_TRUE(mail_->SetAction(10).ok());
  mail_->SetMessageFile(inbox_.string());  // a folder: the second cannot be stored
  EXPECT_EQ(Fetch().number, kErrCannotOpenFile);
  EXPECT_FALSE(mail_->Connected());
  EXPECT_TRUE(mail_->SetBlocking(false).ok());
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  ASSERT_TRUE(mail_->SetAction(1).ok()) << "a fresh session";
  EXPECT_EQ(mail_->MessageCount(), 2) << "the first was deleted when the session ended";
  ASSERT_TRUE(Fetch().ok());
  EXPECT_TRUE(testing::ReadFile(mail_->MessageFile()) == Second());
  ASSERT_TRUE(mail_->SetAction(8).ok());
}

// Scripted servers: one that sends a message slowly (slower than the
// time-out allows for the whole), one that stops in the middle, one that
// drops the link. Only silence times out, and a dropped link ends the session.
TEST_F(Pop3Test, SlowStoppingAndDroppingServers) {
  std::string body;
  for (int i = 0; body.size() < 1500; ++i) body += "line " + std::to_string(i) + "\r\n";
  auto script = [&](const std::string& retr) {
    return std::vector<std::string>{"+OK ready\r\n", "+OK\r\nUSER\r\n.\r\n", "+OK\r\n", "+OK\r\n",
                                    "+OK\r\n1 " + std::to_string(body.size()) + "\r\n.\r\n", retr,
                                    "+OK bye\r\n"};
  };
  testing::ScriptedPeer slow(script("<trickle 2.5>+OK\r\n" + body + ".\r\n"));
  testing::ScriptedPeer stopping(script("+OK\r\n" + body.substr(0, 700)));
  testing::ScriptedPeer dropping(script("<drop>"));
  mail_->SetTimeOut(1);
  mail_->SetPopHost(slow.host());
  ASSERT_TRUE(mail_->SetAction(1).ok());
  ASSERT_EQ(Fetch().number, 0);
  EXPECT_TRUE(testing::ReadFile(mail_->MessageFile()) == body);
  ASSERT_TRUE(mail_->SetAction(8).ok());

  mail_->SetPopHost(stopping.host());
  ASSERT_TRUE(mail_->SetAction(1).ok());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch().number, kErrTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(mail_->Connected());

  ASSERT_TRUE(mail_->SetBlocking(false).ok());
  int failure = 0;
  mail_->onAsyncError = [&](int number, const std::string&) { failure = number; };
  mail_->onDone = [&] { Fetch(); };
  mail_->SetPopHost(dropping.host());
  ASSERT_TRUE(mail_->SetAction(1).ok());
  for (int i = 0; i < 500 && failure == 0; ++i) host_.WaitEvents(20ms);
  EXPECT_NE(failure, 0);
  EXPECT_FALSE(mail_->Connected());
  mail_->onDone = nullptr;
  mail_->SetPopHost(server_->host());
  EXPECT_TRUE(mail_->SetAction(1).ok()) << "a fresh session";
}

}  // namespace
}  // namespace zorvik::mail
