#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "MailTestHelpers.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

using namespace std::chrono_literals;
constexpr auto npos = std::string::npos;

class SmtpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sink_ = new testing::SmtpSink("alice:s3cret pass"); }
  static void TearDownTestSuite() { delete sink_; }
  void SetUp() override {
    sink_->Clear();
    mail_ = std::make_unique<mMail>(host_);
    mail_->SetHost(sink_->host());
    mail_->SetFrom("Ann Sender <ann@example.org>");
    mail_->SetSenderAddress("bounce@example.org");
    mail_->SetTo("bob@example.net");
    mail_->SetTimeOut(10);
  }

  static testing::SmtpSink* sink_;
  testing::FakeHost host_;
  std::unique_ptr<mMail> mail_;
};

testing::SmtpSink* SmtpTest::sink_ = nullptr;

TEST_F(SmtpTest, BlockingSendOfEveryEncodingOverOneConnection) {
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 31 + i / 7) % 256);
  // Runs for BinHex; no final line break, which quoted-printable must not add.
  binary += std::string(40, '\x90') + std::string(300, '\0');
  // Lines that SMTP must dot-stuff, one of them the end-of-data mark.
  const std::string text = "First line\r\n.starts with a dot\r\n..two dots\r\n.\r\nlast\r\n";
  const char* encodings[] = {"base64", "quoted-printable", "7bit", "x-uuencode", "mac-binhex40"};
  testing::TempDir files;
  int done = 0;  // part operations raise none, and neither do blocking ones
  mail_->onDone = [&] { ++done; };
  mail_->SetContentType("multipart");
  mail_->SetContentSubtype("mixed");
  mail_->SetContentParameters("boundary=4711_boundary");
  mail_->SetBoundary("4711_boundary");
  for (const std::string e : encodings) {
    ASSERT_TRUE(mail_->SetAction(4).ok());
    ASSERT_TRUE(mail_->SetAction(7).ok());
    mail_->SetContentType(e == "7bit" ? "text" : "application");
    mail_->SetTransferEncoding(e);
    mail_->SetContentDisposition("attachment; filename=\"" + e + "\"");
    testing::WriteFile(files.path() / e, e == "7bit" ? text : binary);
    mail_->SetFlags(130);
    mail_->SetMessageFile((files.path() / e).string());
    ASSERT_TRUE(mail_->SetAction(9).ok());
    ASSERT_TRUE(mail_->SetAction(2).ok());
  }
  mail_->SetCc("carl@example.com; dora@example.com");
  mail_->SetBcc("eve@example.com");
  mail_->SetSmtpUserName("alice");
  mail_->SetSmtpPassword("s3cret pass");
  std::string trace;
  mail_->onTraceText = [&](const std::string& t) { trace += t; };
  mail_->SetTrace(1);

  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  const MailStatus s = mail_->SetAction(3);
  ASSERT_TRUE(s.ok()) << s.description << "\n" << trace;
  EXPECT_EQ(mail_->SetAction(3).number, kErrAlreadyConnectedToServer);
  EXPECT_EQ(mail_->SetAction(1).number, kErrAlreadyConnectedToServer);
  EXPECT_EQ(mail_->SetBlocking(false).number, kErrCannotChangeBlocking);
  mail_->SetFlags(64);
  ASSERT_TRUE(mail_->SetAction(15).ok());
  EXPECT_EQ(mail_->PartCount(), 0) << "a sent message is cleared";
  ASSERT_TRUE(mail_->SetAction(8).ok());
  host_.DoEvents();
  EXPECT_EQ(done, 0);

  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].envelopeFrom, "bounce@example.org");
  EXPECT_EQ(got[0].recipients,
            (std::vector<std::string>{"bob@example.net", "carl@example.com", "dora@example.com",
                                      "eve@example.com"}));
  const std::string headers = got[0].bytes.substr(0, got[0].bytes.find("\r\n\r\n") + 2);
  EXPECT_EQ(headers.find("eve@"), npos) << "Bcc stays off the headers";
  EXPECT_EQ(headers.find("Bcc"), npos);
  EXPECT_NE(headers.find("Cc: carl@example.com, dora@example.com\r\n"), npos);
  EXPECT_NE(headers.find("Content-Type: multipart/mixed; boundary=4711_boundary\r\n"), npos);
  EXPECT_LE(test::LongestLine(got[0].bytes), 78u);
  ASSERT_EQ(got[0].parts.size(), std::size(encodings));
  for (std::size_t i = 0; i < std::size(encodings); ++i) {
    auto [encoding, body] = got[0].parts[i];
    EXPECT_EQ(encoding, encodings[i]);
    if (encoding == "mac-binhex40") {
      const auto file = test::DecodeBinHex(body);
      body = file && file->crcOk ? file->data : "CRC error";
    }
    EXPECT_TRUE(body == (i == 2 ? text : binary)) << encodings[i];
  }

  const std::size_t ehlo = trace.find("EHLO ");
  EXPECT_NE(ehlo, npos);
  EXPECT_EQ(trace.find("EHLO ", ehlo + 1), npos) << "connect, send and close share one connection";
  for (const char* shown : {"AUTH ", "MAIL FROM:<bounce@example.org>", "RCPT TO:<eve@", "QUIT"})
    EXPECT_NE(trace.find(shown), npos) << shown << " missing from\n" << trace;
  // The password, base64 of "\0alice\0..." (PLAIN) and of the password (LOGIN), message data.
  for (const char* hidden : {"s3cret", "AGFsaWNl", "czNjcmV0IHBhc3M", "starts with a dot"})
    EXPECT_EQ(trace.find(hidden), npos) << hidden << " shown in\n" << trace;
}

TEST_F(SmtpTest, RefusedMessagesAreKeptAndNotSent) {
  mail_->SetPartBody("x\r\n");
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  ASSERT_TRUE(mail_->SetAction(3).ok());
  mail_->SetFlags(64);
  // Bcc is never written as a header: only the send itself can refuse it.
  mail_->SetBcc("e@x>\r\nRCPT TO:<victim@example.com");
  EXPECT_EQ(mail_->SetAction(15).number, kErrInvalidEntry);
  mail_->SetBcc("");
  mail_->SetTo(" ; , ");
  EXPECT_EQ(mail_->SetAction(15).number, kErrDestinationRequired);
  EXPECT_EQ(mail_->PartBody(), "x\r\n") << "a refused message is kept";
  EXPECT_TRUE(mail_->SetAction(8).ok());
  EXPECT_TRUE(sink_->Received().empty());
}

TEST_F(SmtpTest, NotBlockingRaisesOneEventAfterEachStep) {
  std::vector<std::string> log;
  const int next[] = {15, 8};  // after the connect: send; after the send: close
  long lastDone = 0, lastTotal = 0;
  mail_->onDone = [&] {
    log.push_back("done");
    if (log.size() <= std::size(next)) {
      EXPECT_TRUE(mail_->SetAction(next[log.size() - 1]).ok());
    }
  };
  mail_->onAsyncError = [&](int, const std::string& d) { log.push_back(d); };
  mail_->onProgress = [&](long done, long total) {
    lastDone = done;
    lastTotal = total;
  };
  mail_->SetFlags(64);
  mail_->SetPartBody(std::string(100000, 'x') + "\r\n");
  ASSERT_TRUE(mail_->SetAction(3).ok());
  EXPECT_TRUE(log.empty()) << "nothing is raised inside the call";
  EXPECT_EQ(mail_->SetAction(15).number, kErrBusy);
  EXPECT_EQ(mail_->SetBlocking(true).number, kErrCannotChangeBlocking);
  auto pumpUntil = [&](std::size_t events) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (log.size() < events && std::chrono::steady_clock::now() < deadline)
      host_.WaitEvents(20ms);
  };
  pumpUntil(3);
  EXPECT_EQ(sink_->Received().size(), 1u);
  EXPECT_FALSE(mail_->Connected());
  EXPECT_GT(lastTotal, 100000);
  EXPECT_EQ(lastDone, lastTotal);

  mail_->SetHost("127.0.0.1:" + std::to_string(testing::FreePort()));
  ASSERT_TRUE(mail_->SetAction(3).ok());
  pumpUntil(4);
  host_.DoEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"done", "done", "done",
                                           std::string(MailErrorText(10061))}));
}

TEST_F(SmtpTest, FailuresAndSilentServersEndInTime) {
  testing::ScriptedPeer unwilling({"554 5.3.2 not accepting mail\r\n"});
  testing::ScriptedPeer silent({""});
  // Answers EHLO and NOOP, then nothing: not the next NOOP, not QUIT.
  testing::ScriptedPeer stopping({"220 peer ready\r\n", "250 peer\r\n", "250 ok\r\n"});
  mail_->SetTimeOut(1);
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  const std::pair<std::string, int> cases[] = {
      {"127.0.0.1:" + std::to_string(testing::FreePort()), 10061},
      {"no-such-host.invalid", 11001},
      {unwilling.host(), kErrUnexpectedResponse},
      {silent.host(), 10060}};
  for (const auto& [host, number] : cases) {
    mail_->SetHost(host);
    const auto start = std::chrono::steady_clock::now();
    const MailStatus s = mail_->SetAction(3);
    EXPECT_EQ(s.number, number) << host;
    EXPECT_EQ(s.description, MailErrorText(number));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(mail_->Connected());
  }

  mail_->SetHost(stopping.host());
  ASSERT_TRUE(mail_->SetAction(3).ok());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(mail_->SetAction(8).number, 10060);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
  EXPECT_FALSE(mail_->Connected());
  ASSERT_TRUE(mail_->SetAction(3).ok());
  start = std::chrono::steady_clock::now();
  mail_.reset();  // dropped while connected
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

}  // namespace
}  // namespace zorvik::mail
