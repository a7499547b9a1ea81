#include <gtest/gtest.h>

#include <filesystem>

#include "core/ProgramDirectory.h"
#include "mail/MailRetrieval.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
  static void SetUpTestSuite() { server_ = new testing::DovecotServer("alice", "pa55 word"); }
  static void TearDownTestSuite() { delete server_; }

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
    for (int i = 0; i < 2000 && !retrieval_.mnuGetMailEnabled; ++i) host_.WaitEvents(20ms);
    EXPECT_TRUE(retrieval_.mnuGetMailEnabled);
    EXPECT_EQ(retrieval_.RetrieveState, 0);
    EXPECT_FALSE(retrieval_.Mail1.Connected());
  }

  fs::path Inbox() const { return dir_.path() / "mail" / "Inbox"; }

  static testing::DovecotServer* server_;
  testing::FakeHost host_;
  testing::TempDir dir_;
  MailSettings settings_;
  MailRetrieval retrieval_{host_};
  std::string commands_;
};

testing::DovecotServer* RetrievalTest::server_ = nullptr;

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
    EXPECT_EQ(host_.messages.size(), c.hostDelete ? 1u : 0u) << "only the Host Delete warning";
  }
}

TEST_F(RetrievalTest, HostDeleteWarnsEachTimeItIsTicked) {
  for (bool tick : {true, false, true, false}) {
    retrieval_.chkHostDelete = tick;
    retrieval_.chkHostDelete_Click();
  }
  ASSERT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[0].text, "Messages will be deleted after they are read from the host.");
  EXPECT_EQ(host_.messages[0].icon, MsgIcon::Exclamation);
}

TEST_F(RetrievalTest, RefusedLoginEndsTheRetrievalWithoutShowingThePassword) {
  server_->SetMailbox({Message(1)});
  settings_.PopPassword = "wrong secret";
  GetMail(false);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("AsyncError: ", 0), 0u) << host_.messages[0].text;
  EXPECT_NE(host_.messages[0].text.find("( 20004)"), std::string::npos) << host_.messages[0].text;
  EXPECT_EQ(host_.messages[0].text.find("secret"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(Inbox()));
  EXPECT_EQ(server_->MailboxSize(), 1);
}

// A POP3 server that logs in, lists one message of `size` bytes and then
// misbehaves with `retr` as its answer to the first command after LIST.
std::vector<std::string> Pop3Script(const std::string& size, const std::string& retr) {
  return {"+OK ready\r\n", "+OK\r\nUSER\r\n.\r\n", "+OK\r\n", "+OK\r\n",
          "+OK\r\n1 " + size + "\r\n.\r\n", retr, "+OK\r\n", "+OK bye\r\n"};
}

TEST_F(RetrievalTest, DroppedConnectionEndsTheRetrievalAndStoresNothing) {
  testing::ScriptedPeer peer(Pop3Script("5000", "<drop>+OK\r\nFrom: a@example.org\r\n\r\nhalf a"));
  settings_.PopHost = peer.host();
  GetMail(false);
  EXPECT_EQ(commands_.substr(0, 12), "LIST;RETR 1;") << commands_;
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("AsyncError: ", 0), 0u) << host_.messages[0].text;
  EXPECT_NE(host_.messages[0].text.find("( 10101)"), std::string::npos) << host_.messages[0].text;
  EXPECT_TRUE(fs::is_empty(Inbox())) << "no partial message, no temporary file";
  EXPECT_EQ(retrieval_.textBody, "");
}

TEST_F(RetrievalTest, HugeMessageIsNotFetched) {
  testing::ScriptedPeer peer(Pop3Script("300000000", "+OK\r\n"));
  settings_.PopHost = peer.host();
  GetMail(false);
  EXPECT_EQ(commands_.find("RETR"), std::string::npos) << commands_;
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].text.find("larger than the 100 MB"), std::string::npos)
      << host_.messages[0].text;
  EXPECT_TRUE(fs::is_empty(Inbox()));
}

TEST(RetrievalTexts, PercentageAndAsyncError) {
  EXPECT_EQ(PercentageText(50, 200), "25%");
  EXPECT_EQ(PercentageText(1, 3), "33%");
  EXPECT_EQ(PercentageText(7, 0), "0");
  EXPECT_EQ(PercentageText(3'000'000'000L, 3'000'000'000L), "100%");
  EXPECT_EQ(AsyncErrorText(10061, "Connection refused."), "AsyncError: Connection refused.( 10061)");
  EXPECT_EQ(AsyncErrorText(-3, "x"), "AsyncError: x(-3)");
}

}  // namespace
}  // namespace zorvik::mail
