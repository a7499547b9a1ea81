#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "MailTestHelpers.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

class SmtpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sink_ = new testing::SmtpSink();
    authSink_ = new testing::SmtpSink("alice:s3cret pass");
  }
  static void TearDownTestSuite() {
    delete sink_;
    delete authSink_;
  }
  void SetUp() override {
    sink_->Clear();
    authSink_->Clear();
    mail_ = std::make_unique<mMail>(host_);
    mail_->SetHost(sink_->host());
    mail_->SetFrom("Ann Sender <ann@example.org>");
    mail_->SetSenderAddress("bounce@example.org");
    mail_->SetTo("bob@example.net");
    mail_->SetSubject("Test");
    mail_->SetTimeOut(10);
  }

  // Connect, send, close with Blocking on; the first failure is returned.
  MailStatus SendBlocking() {
    EXPECT_TRUE(mail_->SetBlocking(true).ok());
    if (MailStatus s = mail_->SetAction(3); !s.ok()) return s;
    mail_->SetFlags(64);
    MailStatus sent = mail_->SetAction(15);
    MailStatus closed = mail_->SetAction(8);
    return !sent.ok() ? sent : closed;
  }

  void Attach(const std::string& encoding, const std::string& type, const std::string& name,
              const std::string& bytes) {
    ASSERT_TRUE(mail_->SetAction(4).ok());
    ASSERT_TRUE(mail_->SetAction(7).ok());
    mail_->SetContentType(type.substr(0, type.find('/')));
    mail_->SetContentSubtype(type.substr(type.find('/') + 1));
    mail_->SetTransferEncoding(encoding);
    mail_->SetContentDisposition("attachment; filename=\"" + name + "\"");
    testing::WriteFile(files_.path() / name, bytes);
    mail_->SetFlags(130);
    mail_->SetMessageFile((files_.path() / name).string());
    ASSERT_TRUE(mail_->SetAction(9).ok());
    ASSERT_TRUE(mail_->SetAction(2).ok());
  }

  static testing::SmtpSink* sink_;
  static testing::SmtpSink* authSink_;
  testing::FakeHost host_;
  testing::TempDir files_;
  std::unique_ptr<mMail> mail_;
};

testing::SmtpSink* SmtpTest::sink_ = nullptr;
testing::SmtpSink* SmtpTest::authSink_ = nullptr;

TEST_F(SmtpTest, EveryEncodingArrivesIntact) {
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 31 + i / 7) % 256);
  binary += std::string(40, '\x90') + std::string(300, '\0');
  const std::string text = "First line\r\n.starts with a dot\r\n..two dots\r\n.\r\nlast\r\n";

  mail_->SetContentType("multipart");
  mail_->SetContentSubtype("mixed");
  mail_->SetContentParameters("boundary=4711_boundary");
  mail_->SetBoundary("4711_boundary");
  Attach("base64", "application/x-zip-compressed", "a.zip", binary);
  Attach("quoted-printable", "application/octet-stream", "b.bin", binary);
  Attach("7bit", "text/plain", "c.txt", text);
  Attach("x-uuencode", "application/octet-stream", "d.bin", binary);
  Attach("mac-binhex40", "application/octet-stream", "e.bin", binary);
  mail_->SetCc("carl@example.com; dora@example.com");
  mail_->SetBcc("eve@example.com");
  ASSERT_EQ(mail_->PartCount(), 5);

  const MailStatus s = SendBlocking();
  ASSERT_TRUE(s.ok()) << s.number << " " << s.description;
  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].envelopeFrom, "bounce@example.org");
  EXPECT_EQ(got[0].recipients,
            (std::vector<std::string>{"bob@example.net", "carl@example.com", "dora@example.com",
                                      "eve@example.com"}));

  const auto parsed = test::ParseWithVmime(got[0].bytes);
  EXPECT_EQ(parsed.headerBlock.find("eve@"), std::string::npos) << "Bcc stays off the headers";
  EXPECT_EQ(parsed.headerBlock.find("Bcc"), std::string::npos);
  EXPECT_NE(parsed.headerBlock.find("Cc: carl@example.com, dora@example.com\r\n"),
            std::string::npos);
  EXPECT_NE(parsed.headerBlock.find("Content-Type: multipart/mixed; boundary=4711_boundary\r\n"),
            std::string::npos);
  EXPECT_EQ(parsed.boundary, "4711_boundary");
  ASSERT_EQ(parsed.leaves.size(), 5u);
  EXPECT_EQ(parsed.leaves[0].type, "application/x-zip-compressed");
  EXPECT_TRUE(parsed.leaves[0].body == binary) << "base64";
  EXPECT_TRUE(parsed.leaves[1].body == binary) << "quoted-printable";
  EXPECT_EQ(parsed.leaves[2].body, text) << "dot-stuffing is undone on the way";
  EXPECT_TRUE(parsed.leaves[3].body == binary) << "x-uuencode";
  EXPECT_EQ(parsed.leaves[4].encoding, "mac-binhex40");
  const auto binhex = test::DecodeBinHex(parsed.leaves[4].rawBody);
  ASSERT_TRUE(binhex);
  EXPECT_EQ(binhex->name, "e.bin");
  EXPECT_TRUE(binhex->data == binary) << "mac-binhex40";
  EXPECT_TRUE(binhex->crcOk);
  EXPECT_EQ(mail_->PartCount(), 0) << "a sent message is cleared";
}

TEST_F(SmtpTest, BodyLinesStartingWithDotsAndNonAsciiSubject) {
  const std::string body = ".\r\n.hidden?\r\n..\r\nend\r\n";
  mail_->SetPartBody(body);
  mail_->SetSubject("Überraschung für dich");
  ASSERT_TRUE(SendBlocking().ok());
  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u);
  const auto parsed = test::ParseWithVmime(got[0].bytes);
  ASSERT_EQ(parsed.leaves.size(), 1u);
  EXPECT_EQ(parsed.leaves[0].body, body);
  EXPECT_EQ(parsed.subject, "Überraschung für dich");
  EXPECT_TRUE(got[0].bytes.ends_with(body)) << "the upload is byte-exact";
}

TEST_F(SmtpTest, NonBlockingRaisesDoneAfterEachStep) {
  std::vector<std::string> log;
  int state = 2;  // 2 connecting, 1 sending, 3 closing
  long lastDone = 0, lastTotal = 0;
  mail_->onDone = [&] {
    log.push_back("done" + std::to_string(state));
    if (state == 2) {
      state = 1;
      mail_->SetFlags(64);
      EXPECT_TRUE(mail_->SetAction(15).ok());
    } else if (state == 1) {
      state = 3;
      EXPECT_TRUE(mail_->SetAction(8).ok());
    } else {
      state = 0;
    }
  };
  mail_->onAsyncError = [&](int n, const std::string& d) { log.push_back("error " + d); (void)n; };
  mail_->onProgress = [&](long done, long total) {
    lastDone = done;
    lastTotal = total;
  };
  mail_->SetPartBody(std::string(100000, 'x') + "\r\n");
  ASSERT_TRUE(mail_->SetAction(3).ok());
  EXPECT_TRUE(log.empty()) << "nothing is raised inside the call";
  EXPECT_EQ(mail_->SetAction(15).number, kErrBusy);
  EXPECT_EQ(mail_->SetBlocking(true).number, kErrCannotChangeBlocking);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (state != 0 && std::chrono::steady_clock::now() < deadline)
    host_.WaitEvents(std::chrono::milliseconds(50));
  EXPECT_EQ(log, (std::vector<std::string>{"done2", "done1", "done3"}));
  EXPECT_GT(lastTotal, 100000);
  EXPECT_EQ(lastDone, lastTotal);
  EXPECT_EQ(sink_->Received().size(), 1u);
  EXPECT_FALSE(mail_->Connected());
  EXPECT_TRUE(mail_->SetBlocking(true).ok());
}

TEST_F(SmtpTest, BlockingRaisesNoDoneButTracesTheDialogue) {
  int done = 0;
  std::string trace;
  mail_->onDone = [&] { ++done; };
  mail_->onTraceText = [&](const std::string& t) { trace += t; };
  mail_->SetTrace(1);
  mail_->SetPartBody("hi\r\n");
  ASSERT_TRUE(SendBlocking().ok());
  host_.DoEvents();
  EXPECT_EQ(done, 0);
  const std::size_t ehlo = trace.find("EHLO ");
  EXPECT_NE(ehlo, std::string::npos);
  EXPECT_EQ(trace.find("EHLO ", ehlo + 1), std::string::npos)
      << "connect, send and close share one connection\n" << trace;
  EXPECT_NE(trace.find("MAIL FROM:<bounce@example.org>"), std::string::npos);
  EXPECT_NE(trace.find("RCPT TO:<bob@example.net>"), std::string::npos);
  EXPECT_NE(trace.find("QUIT"), std::string::npos);
  EXPECT_NE(trace.find("bytes of message data]"), std::string::npos);
  EXPECT_EQ(trace.find("hi\r\n"), std::string::npos) << "message data is not traced";
}

TEST_F(SmtpTest, AuthenticatesWithoutShowingTheAccount) {
  std::string trace;
  mail_->onTraceText = [&](const std::string& t) { trace += t; };
  mail_->SetTrace(1);
  mail_->SetHost(authSink_->host());
  mail_->SetSmtpUserName("alice");
  mail_->SetSmtpPassword("s3cret pass");
  mail_->SetPartBody("authenticated\r\n");
  const MailStatus s = SendBlocking();
  ASSERT_TRUE(s.ok()) << s.description << "\n" << trace;
  EXPECT_EQ(authSink_->Received().size(), 1u);
  EXPECT_NE(trace.find("AUTH "), std::string::npos);
  EXPECT_EQ(trace.find("s3cret"), std::string::npos) << trace;
  // base64 of "\0alice\0s3cret pass" and of the password alone
  EXPECT_EQ(trace.find("AGFsaWNl"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("czNjcmV0IHBhc3M"), std::string::npos) << trace;

  mail_->SetSmtpPassword("wrong");
  mail_->SetPartBody("x\r\n");
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  EXPECT_EQ(mail_->SetAction(3).number, kErrLoginFailed);
  EXPECT_FALSE(mail_->Connected());
}

TEST_F(SmtpTest, RefusedInjectedOrAddresslessMessagesNeverGoOut) {
  mail_->SetPartBody("x\r\n");
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  ASSERT_TRUE(mail_->SetAction(3).ok());
  mail_->SetSubject("hello\r\nBcc: victim@example.com");
  EXPECT_EQ(mail_->SetAction(15).number, kErrInvalidEntry);
  mail_->SetSubject("fine");
  mail_->SetTo("bob@example.net>\r\nRCPT TO:<victim@example.com");
  EXPECT_EQ(mail_->SetAction(15).number, kErrInvalidEntry);
  mail_->SetTo(" ; , ");
  EXPECT_EQ(mail_->SetAction(15).number, kErrDestinationRequired);
  EXPECT_EQ(mail_->PartBody(), "x\r\n") << "a refused message is kept";
  EXPECT_TRUE(mail_->SetAction(8).ok());
  EXPECT_TRUE(sink_->Received().empty());
}

TEST_F(SmtpTest, ConnectionFailures) {
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  mail_->SetHost("127.0.0.1:" + std::to_string(testing::RefusedPort()));
  MailStatus s = mail_->SetAction(3);
  EXPECT_EQ(s.number, 10061);
  EXPECT_EQ(s.description, "The requested connection has been refused by the remote host.");
  EXPECT_FALSE(mail_->Connected());

  mail_->SetHost("no-such-host.invalid");
  EXPECT_EQ(mail_->SetAction(3).number, 11001);

  testing::RawPeer garbage("554 5.3.2 not accepting mail\r\n");
  mail_->SetHost(garbage.host());
  EXPECT_EQ(mail_->SetAction(3).number, kErrUnexpectedResponse);

  testing::RawPeer silent("");
  mail_->SetHost(silent.host());
  mail_->SetTimeOut(1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(mail_->SetAction(3).number, 10060);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  ASSERT_TRUE(mail_->SetBlocking(false).ok());
  std::vector<std::pair<int, std::string>> errors;
  mail_->onAsyncError = [&](int n, const std::string& d) { errors.emplace_back(n, d); };
  mail_->SetHost("127.0.0.1:" + std::to_string(testing::RefusedPort()));
  ASSERT_TRUE(mail_->SetAction(3).ok());
  for (int i = 0; i < 100 && errors.empty(); ++i) host_.WaitEvents(std::chrono::milliseconds(20));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, 10061);
  EXPECT_EQ(errors[0].second, "The requested connection has been refused by the remote host.");
}

TEST_F(SmtpTest, AServerThatStopsAnsweringCannotHoldUsUp) {
  // Answers EHLO and NOOP, then nothing: not the next NOOP, not QUIT.
  testing::RawPeer peer("220 peer ready\r\n", {"250 peer\r\n", "250 ok\r\n"});
  mail_->SetHost(peer.host());
  mail_->SetTimeOut(1);
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  ASSERT_TRUE(mail_->SetAction(3).ok());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(mail_->SetAction(8).number, 10060);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_FALSE(mail_->Connected());

  ASSERT_TRUE(mail_->SetAction(3).ok());
  start = std::chrono::steady_clock::now();
  mail_.reset();  // dropped while connected
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(SmtpTest, SecondConnectIsRefusedWhileConnected) {
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  ASSERT_TRUE(mail_->SetAction(3).ok());
  EXPECT_EQ(mail_->SetAction(3).number, kErrAlreadyConnectedToServer);
  EXPECT_EQ(mail_->SetAction(1).number, kErrAlreadyConnectedToServer);
  EXPECT_EQ(mail_->SetBlocking(false).number, kErrCannotChangeBlocking);
  EXPECT_TRUE(mail_->SetAction(8).ok());
  EXPECT_TRUE(mail_->SetBlocking(false).ok());
}

}  // namespace
}  // namespace zorvik::mail
