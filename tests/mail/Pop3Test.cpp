#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "MailTestHelpers.h"
#include "core/ProgramDirectory.h"
#include "mail/MailRetrieval.h"
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

// A POP3 server that logs in, lists one message of `size` bytes and answers
// RETR with `retr`.
std::vector<std::string> Pop3Script(std::size_t size, const std::string& retr) {
  return {"+OK ready\r\n", "+OK\r\nUSER\r\n.\r\n", "+OK\r\n", "+OK\r\n",
          "+OK\r\n1 " + std::to_string(size) + "\r\n.\r\n", retr, "+OK\r\n", "+OK bye\r\n"};
}

// One private Dovecot for every test here, started on first use.
testing::DovecotServer& Server() {
  static testing::DovecotServer server("alice", "pa55 word");
  return server;
}

class Pop3Test : public ::testing::Test {
 protected:
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

  testing::DovecotServer* server_ = &Server();
  testing::FakeHost host_;
  testing::TempDir dir_;
  fs::path inbox_ = dir_.path() / "inbox";
  std::unique_ptr<mMail> mail_;
};

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
// already stored, and they take effect when the session ends; the failed
// message stays on the server. Dot lines come back as they were.
TEST_F(Pop3Test, AFailedFetchEndsTheSessionAndLosesNoMail) {
  long lastDone = -1, lastTotal = -1;
  mail_->onProgress = [&](long done, long total) {
    lastDone = done;
    lastTotal = total;
  };
  server_->SetMailbox({kFirst, Second(), "Subject: third\r\n\r\n3\r\n"});
  ASSERT_TRUE(mail_->SetAction(1).ok());
  EXPECT_EQ(mail_->SetAction(10).number, kErrInternalState) << "nothing fetched to delete";
  ASSERT_TRUE(mail_->SetAction(1).ok()) << "a fresh session";
  mail_->SetMessageFile((dir_.path() / "chosen.eml").string());
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(testing::ReadFile(dir_.path() / "chosen.eml"), kFirst);
  EXPECT_EQ(lastDone, static_cast<long>(kFirst.size()));
  EXPECT_EQ(lastTotal, lastDone);
  ASSERT_TRUE(mail_->SetAction(10).ok());
  EXPECT_EQ(server_->MailboxSize(), 3) << "deletion waits for the end of the session";
  mail_->SetMessageFile(dir_.path().string());  // a folder: the second cannot be stored
  EXPECT_EQ(Fetch().number, kErrCannotOpenFile);
  EXPECT_FALSE(mail_->Connected());
  EXPECT_TRUE(mail_->SetBlocking(false).ok());
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  ASSERT_TRUE(mail_->SetAction(1).ok()) << "a fresh session";
  EXPECT_EQ(mail_->MessageCount(), 2) << "the first was deleted when the session ended";
  ASSERT_TRUE(Fetch().ok()) << "a file the caller names serves one fetch";
  EXPECT_EQ(mail_->MessageFile(), (inbox_ / "1.msg").string());
  EXPECT_TRUE(testing::ReadFile(mail_->MessageFile()) == Second());
  ASSERT_TRUE(Fetch().ok());
  EXPECT_EQ(Fetch().number, kErrInternalState) << "no further message";
}

// Servers slower than the time-out allows for the whole message, stopping in
// the middle, dropping the link: only silence times out; a drop ends the session.
TEST_F(Pop3Test, SlowStoppingAndDroppingServers) {
  std::string body;
  for (int i = 0; body.size() < 1500; ++i) body += "line " + std::to_string(i) + "\r\n";
  testing::ScriptedPeer slow(Pop3Script(body.size(), "<trickle 2.5>+OK\r\n" + body + ".\r\n"));
  testing::ScriptedPeer stopping(Pop3Script(body.size(), "+OK\r\n" + body.substr(0, 700)));
  testing::ScriptedPeer dropping(Pop3Script(body.size(), "<drop>"));
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

std::string Message(int n) {
  return "From: Ann <ann@example.org>\r\nSubject: note " + std::to_string(n) +
         "\r\nDate: Mon, 1 Jan 2024 10:00:0" + std::to_string(n) + " +0000\r\n\r\nbody " +
         std::to_string(n) + "\r\n";
}

std::string Listed(int n) {
  return "note " + std::to_string(n) + "\tAnn <ann@example.org>\tMon, 1 Jan 2024 10:00:0" +
         std::to_string(n) + " +0000\n";
}

class RetrievalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDirectory(dir_.path());
    settings_.PopHost = server_->host();
    settings_.PopUserName = "alice";
    settings_.PopPassword = "pa55 word";
    settings_.TimeOut = 10;
    retrieval_.chkTrace = true;
    retrieval_.chkTrace_Click();
    // The main window ignores trace text; the test keeps the commands that
    // show which operations ran.
    retrieval_.Mail1.onTraceText = [this](const std::string& line) {
      trace_ += line;
      for (const char* command : {"LIST", "RETR", "DELE", "QUIT"})
        if (line.rfind(command, 0) == 0) commands_ += line.substr(0, line.find('\r')) + ";";
    };
  }

  // Starts "&Get Mail" and runs the event loop until the retrieval is over.
  void GetMail(bool blocking) {
    retrieval_.chkBlocking = blocking;
    retrieval_.chkBlocking_Click();
    retrieval_.mnuGetMail_Click(settings_, "mail");
    EXPECT_FALSE(retrieval_.mnuGetMailEnabled) << "disabled while the retrieval runs";
    test::PumpUntil(host_, [&] { return retrieval_.mnuGetMailEnabled; }, 40s);
    EXPECT_TRUE(retrieval_.mnuGetMailEnabled);
    EXPECT_EQ(retrieval_.RetrieveState, 0);
    EXPECT_FALSE(retrieval_.Mail1.Connected());
  }

  fs::path Inbox() const { return dir_.path() / "mail" / "Inbox"; }

  testing::DovecotServer* server_ = &Server();
  testing::FakeHost host_;
  testing::TempDir dir_;
  MailSettings settings_;
  MailRetrieval retrieval_{host_};
  std::string commands_, trace_;
};

TEST_F(RetrievalTest, EmptyMailboxSaysSoAndClosesOnce) {
  for (bool blocking : {false, true}) {
    server_->SetMailbox({});
    commands_.clear();
    host_.messages.clear();
    GetMail(blocking);
    EXPECT_EQ(commands_, "LIST;QUIT;") << blocking;
    ASSERT_EQ(host_.messages.size(), 1u) << blocking;
    EXPECT_EQ(host_.messages[0].text, "No mail waiting");
    EXPECT_TRUE(fs::is_directory(Inbox()));
  }
}

TEST_F(RetrievalTest, FetchesThreeMessagesWithAndWithoutHostDelete) {
  struct Case {
    bool hostDelete;
    bool blocking;
    const char* commands;
    int leftOnHost;
  };
  const Case cases[] = {
      {false, false, "LIST;RETR 1;RETR 2;RETR 3;QUIT;", 3},
      {true, false, "LIST;RETR 1;DELE 1;RETR 2;DELE 2;RETR 3;DELE 3;QUIT;", 0},
      {true, true, "LIST;RETR 1;DELE 1;RETR 2;DELE 2;RETR 3;DELE 3;QUIT;", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "host delete " << c.hostDelete << ", blocking " << c.blocking);
    server_->SetMailbox({Message(1), Message(2), Message(3)});
    fs::remove_all(Inbox());
    fs::create_directories(Inbox());
    testing::WriteFile(Inbox() / "7.msg", Message(7));
    commands_.clear();
    host_.messages.clear();
    retrieval_.chkHostDelete = c.hostDelete;
    retrieval_.chkHostDelete_Click();
    GetMail(c.blocking);
    EXPECT_EQ(commands_, c.commands);
    EXPECT_EQ(server_->MailboxSize(), c.leftOnHost);
    for (int n = 1; n <= 3; ++n)
      EXPECT_EQ(testing::ReadFile(Inbox() / (std::to_string(n + 7) + ".msg")), Message(n));
    EXPECT_EQ(std::distance(fs::directory_iterator(Inbox()), {}), 4) << "nothing else stored";
    EXPECT_EQ(retrieval_.textBody, Listed(3) + Listed(7) + Listed(1) + Listed(2))
        << "names in ascending order: 10, 7, 8, 9";
    EXPECT_EQ(retrieval_.MessageIndex, 3);
    EXPECT_EQ(retrieval_.lblPercentage, "100%");
    // Ticking "Host Delete" warns each time; nothing else is shown.
    ASSERT_EQ(host_.messages.size(), c.hostDelete ? 1u : 0u);
    if (c.hostDelete) {
      EXPECT_EQ(host_.messages[0].text,
                "Messages will be deleted after they are read from the host.");
    }
  }
}

// A refused login or connection, a link dropped in the middle of a message,
// a message too large to fetch, no user name: one message each, nothing
// stored, the password never shown or traced.
TEST_F(RetrievalTest, FailuresEndTheRetrievalAndStoreNothing) {
  testing::ScriptedPeer dropping(
      Pop3Script(5000, "<drop>+OK\r\nFrom: a@example.org\r\n\r\nhalf a"));
  testing::ScriptedPeer huge(Pop3Script(300'000'000, "+OK\r\n"));
  struct Case {
    std::string host, user, password;
    const char* says;
    bool retr;  // whether the message was asked for
  };
  const Case cases[] = {
      {server_->host(), "alice", "wrong secret", "( 20004)", false},
      {"127.0.0.1:" + std::to_string(testing::FreePort()), "alice", "pa55 word", "( 10061)", false},
      {dropping.host(), "alice", "pa55 word", "( 10101)", true},
      {huge.host(), "alice", "pa55 word", "larger than the 100 MB", false},
      {server_->host(), "", "pa55 word", "( 20011)", false}};
  server_->SetMailbox({Message(1)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    settings_.PopHost = c.host;
    settings_.PopUserName = c.user;
    settings_.PopPassword = c.password;
    commands_.clear();
    host_.messages.clear();
    GetMail(false);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_NE(host_.messages[0].text.find(c.says), std::string::npos) << host_.messages[0].text;
    EXPECT_EQ(commands_.find("RETR") != std::string::npos, c.retr) << commands_;
    // The password, base64 of it (LOGIN) and of "\0alice\0..." (PLAIN).
    for (const char* hidden : {"secret", "pa55", "d3Jvbmc", "cGE1NS", "AGFsaWNl"}) {
      EXPECT_EQ(host_.messages[0].text.find(hidden), std::string::npos) << hidden;
      EXPECT_EQ(trace_.find(hidden), std::string::npos) << trace_;
    }
    EXPECT_TRUE(fs::is_empty(Inbox())) << "no partial message, no temporary file";
    EXPECT_EQ(retrieval_.textBody, "");
  }
  EXPECT_NE(trace_.find("+OK"), std::string::npos) << "the trace runs";
  EXPECT_EQ(server_->MailboxSize(), 1);
}

TEST(RetrievalTexts, PercentageAndAsyncError) {
  EXPECT_EQ(PercentageText(50, 200), "25%");
  EXPECT_EQ(PercentageText(1, 3), "33%");
  EXPECT_EQ(PercentageText(7, 0), "0");
  EXPECT_EQ(PercentageText(3'000'000'000L, 3'000'000'000L), "100%");
  EXPECT_EQ(AsyncErrorText(10061, "Connection refused."), "AsyncError: Connection refused.( 10061)");
}

}  // namespace
}  // namespace zorvik::mail
