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

// A scripted SMTP server's replies up to the data, then `rest`.
std::vector<std::string> UpToData(std::vector<std::string> rest) {
  rest.insert(rest.begin(), {"220 peer\r\n", "250 peer\r\n", "250 ok\r\n", "250 ok\r\n"});
  return rest;
}

class SmtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sink_->Clear();
    mail_ = std::make_unique<mMail>(host_);
    mail_->SetHost(sink_->host());
    mail_->SetFrom("Ann Sender <ann@example.org>");
    mail_->SetSenderAddress("bounce@example.org");
    mail_->SetTo("bob@example.net");
    mail_->SetTimeOut(10);
  }

  // A blocking connect and send; the send's status.
  int ConnectAndSend() {
    EXPECT_TRUE(mail_->SetBlocking(true).ok());
    EXPECT_EQ(mail_->SetAction(3).number, 0);
    return mail_->SetAction(15).number;
  }

  testing::SmtpSink* sink_ = &test::Sink();
  testing::FakeHost host_;
  std::unique_ptr<mMail> mail_;
};

// Cc and Bcc reach the envelope, Bcc never the headers; connect, send and
// close share one connection and raise no events; the trace shows the
// commands but neither credentials nor message data. (Dot-stuffing and the
// encodings are read back in the composer's tests.)
TEST_F(SmtpTest, BlockingSendOverOneConnection) {
  int done = 0;
  mail_->onDone = [&] { ++done; };
  mail_->SetPartBody(".starts with a dot\r\n");
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
  EXPECT_EQ(got[0].recipients,
            (std::vector<std::string>{"bob@example.net", "carl@example.com", "dora@example.com",
                                      "eve@example.com"}));
  const std::string headers = got[0].bytes.substr(0, got[0].bytes.find("\r\n\r\n") + 2);
  EXPECT_EQ(headers.find("eve@"), npos) << "Bcc stays off the headers";
  EXPECT_EQ(headers.find("Bcc"), npos);
  EXPECT_NE(headers.find("Cc: carl@example.com, dora@example.com\r\n"), npos);

  const std::size_t ehlo = trace.find("EHLO ");
  EXPECT_NE(ehlo, npos);
  EXPECT_EQ(trace.find("EHLO ", ehlo + 1), npos) << "connect, send and close share one connection";
  for (const char* shown : {"AUTH ", "MAIL FROM:<bounce@example.org>", "RCPT TO:<eve@", "QUIT"})
    EXPECT_NE(trace.find(shown), npos) << shown << " missing from\n" << trace;
  // The password, base64 of "\0alice\0..." (PLAIN) and of the password (LOGIN), message data.
  for (const char* hidden : {"s3cret", "AGFsaWNl", "czNjcmV0IHBhc3M", "starts with a dot"})
    EXPECT_EQ(trace.find(hidden), npos) << hidden << " shown in\n" << trace;
}

TEST_F(SmtpTest, FailuresAndSilentServersEndInTime) {
  testing::ScriptedPeer unwilling({"554 5.3.2 not accepting mail\r\n"});
  testing::ScriptedPeer silent({""});
  // Answers EHLO, then nothing: not QUIT.
  testing::ScriptedPeer stopping({"220 peer ready\r\n", "250 peer\r\n"});
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

// One refused recipient or one dropped link ends the session in either mode:
// the next connect starts a fresh one.
TEST_F(SmtpTest, AFailedOperationEndsTheSession) {
  testing::ScriptedPeer dropping({"220 peer\r\n", "250 peer\r\n", "<drop>"});
  int failure = 0, done = 0;
  mail_->onAsyncError = [&](int number, const std::string&) { failure = number; };
  mail_->onDone = [&] { ++done; };
  mail_->SetPartBody("x\r\n");
  for (const bool blocking : {true, false}) {
    SCOPED_TRACE(blocking ? "blocking" : "not blocking");
    ASSERT_TRUE(mail_->SetBlocking(blocking).ok());
    auto run = [&](int action) {  // the outcome in either mode
      failure = done = 0;
      const MailStatus s = mail_->SetAction(action);
      if (!blocking && s.ok()) test::PumpUntil(host_, [&] { return failure != 0 || done != 0; });
      return blocking ? s.number : failure;
    };
    mail_->SetHost(sink_->host());
    mail_->SetTo("refused@example.net");
    ASSERT_EQ(run(3), 0);
    EXPECT_EQ(run(15), kErrUnexpectedResponse);
    EXPECT_FALSE(mail_->Connected());
    mail_->SetHost(dropping.host());
    ASSERT_EQ(run(3), 0);
    mail_->SetTo("bob@example.net");
    EXPECT_NE(run(15), 0) << "the link drops at MAIL FROM";
    EXPECT_FALSE(mail_->Connected());
    EXPECT_TRUE(mail_->SetBlocking(!blocking).ok());
    ASSERT_TRUE(mail_->SetBlocking(blocking).ok());
    mail_->SetHost(sink_->host());
    ASSERT_EQ(run(3), 0) << "a fresh session";
    EXPECT_EQ(run(15), 0);
    EXPECT_EQ(run(8), 0);
    mail_->SetPartBody("x\r\n");
  }
  EXPECT_EQ(sink_->Received().size(), 2u);
}

// The time-out ends a transfer after that many seconds without progress,
// however long the whole transfer takes.
TEST_F(SmtpTest, TimeOutCountsSilenceNotTransferTime) {
  // Reads 2 MB at 1 MB a second: 2 s against a time-out of 1 s.
  testing::ScriptedPeer slow(
      UpToData({"<data 1000000>354 go on\r\n", "250 stored\r\n", "221 bye\r\n"}));
  // Takes the data, then never answers.
  testing::ScriptedPeer mute(UpToData({"<data 100000000>354 go on\r\n"}));
  std::string body;
  while (body.size() < 2'000'000) body += std::string(78, 'x') + "\r\n";
  mail_->SetTimeOut(1);
  mail_->SetHost(slow.host());
  mail_->SetPartBody(body);
  EXPECT_EQ(ConnectAndSend(), 0);
  EXPECT_EQ(mail_->SetAction(8).number, 0);

  mail_->SetHost(mute.host());
  mail_->SetPartBody("x\r\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectAndSend(), kErrTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(mail_->Connected());
}

// While a server takes a second to accept the message, the caller's event
// loop keeps running, one event comes after each step, and what would change
// the message or the mode is refused. (A refused connect's AsyncError is
// checked through the composer.)
TEST_F(SmtpTest, ASlowReplyDoesNotHoldTheEventLoop) {
  testing::ScriptedPeer slow(
      UpToData({"<data 100000000>354 go on\r\n", "<wait 1>250 stored\r\n", "221 bye\r\n"}));
  int done = 0, pumpsWhileWaiting = 0;
  bool allSent = false;
  std::vector<int> refusals;
  mail_->onDone = [&] { ++done; };
  mail_->onAsyncError = [&](int number, const std::string&) { ADD_FAILURE() << number; };
  mail_->onProgress = [&](long sent, long total) { allSent = sent == total && total > 100000; };
  host_.onPump = [&] {
    if (allSent && done == 1 && ++pumpsWhileWaiting == 1) {
      for (int action : {4, 7, 2, 9, 15}) refusals.push_back(mail_->SetAction(action).number);
      refusals.push_back(mail_->SetPartBody("late").number);
      refusals.push_back(mail_->SetPartIndex(0).number);
      refusals.push_back(mail_->SetBlocking(true).number);
    }
  };
  mail_->SetHost(slow.host());
  mail_->SetPartBody(std::string(100000, 'x') + "\r\n");
  ASSERT_TRUE(mail_->SetAction(3).ok());
  EXPECT_EQ(done, 0) << "nothing is raised inside the call";
  test::PumpUntil(host_, [&] { return done != 0; });
  ASSERT_TRUE(mail_->SetAction(15).ok());
  test::PumpUntil(host_, [&] { return done != 1; });
  EXPECT_EQ(done, 2);
  EXPECT_GT(pumpsWhileWaiting, 10);
  std::vector<int> busy(7, kErrBusy);
  busy.push_back(kErrCannotChangeBlocking);
  EXPECT_EQ(refusals, busy);
  EXPECT_EQ(mail_->PartBody(), "") << "the sent message is cleared";
  ASSERT_TRUE(mail_->SetAction(8).ok());
  test::PumpUntil(host_, [&] { return done != 2; });
  EXPECT_FALSE(mail_->Connected());
}

// Addresses go into SMTP commands: only bare ones are sent, and a message
// that is refused stays as it was.
TEST_F(SmtpTest, EnvelopeAddressesAreBareAddresses) {
  using Setter = void (mMail::*)(std::string);
  const std::pair<Setter, std::string> refused[] = {
      // Bcc is never written as a header: only the send itself can refuse it.
      {&mMail::SetBcc, "e@x>\r\nRCPT TO:<victim@example.com"},
      {&mMail::SetTo, " ; , "},
      {&mMail::SetTo, "bob smith@example.net"},
      {&mMail::SetTo, "Bob <bob@exa mple.net>"},
      {&mMail::SetTo, "Bob <bob@example.net\t>"},
      {&mMail::SetCc, "<a<b@example.net>"},
      {&mMail::SetBcc, "eve@example.net>"},
      {&mMail::SetSenderAddress, "me@exa\x01mple.org"}};
  for (const auto& [set, value] : refused) {
    mail_->SetTo("bob@example.net");
    mail_->SetCc("");
    mail_->SetBcc("");
    mail_->SetSenderAddress("bounce@example.org");
    (mail_.get()->*set)(value);
    mail_->SetPartBody("x\r\n");
    EXPECT_EQ(ConnectAndSend(), value == " ; , " ? kErrDestinationRequired : kErrInvalidEntry)
        << value;
    EXPECT_EQ(mail_->PartBody(), "x\r\n") << "a refused message is kept";
  }
  EXPECT_TRUE(sink_->Received().empty());
  mail_->SetTo("\"Smith, Bob\" <bob@example.net>, <carl@example.com>");
  mail_->SetSenderAddress("<>");  // the null sender of notices
  ASSERT_EQ(ConnectAndSend(), 0);
  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].envelopeFrom, "<>");
  EXPECT_EQ(got[0].recipients, (std::vector<std::string>{"bob@example.net", "carl@example.com"}));
}

// A part holding the boundary at the start of a line (so the boundary is
// redrawn), and "7bit" parts that are not 7bit, still arrive as they were.
TEST_F(SmtpTest, MimeStaysValidWhateverThePartsHold) {
  const std::string holdsBoundary =
      "before\r\n--4711_boundary\r\nContent-Type: text/html\r\n\r\n--4711_boundary--\r\n";
  const std::string notSevenBit = std::string(1200, 'a') + "\r\nna\xC3\xAFve =\r\n";
  const std::string overLong = std::string(999, 'a') + "\r\n";  // one over the line limit
  mail_->SetContentType("multipart");
  mail_->SetBoundary("4711_boundary");
  for (const std::string* body : {&holdsBoundary, &notSevenBit, &overLong}) {
    ASSERT_TRUE(mail_->SetAction(4).ok());
    ASSERT_TRUE(mail_->SetAction(7).ok());
    mail_->SetContentType("text");
    mail_->SetTransferEncoding("7bit");
    ASSERT_TRUE(mail_->SetPartBody(*body).ok());
    ASSERT_TRUE(mail_->SetAction(2).ok());
  }
  ASSERT_EQ(ConnectAndSend(), 0);
  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].parts.size(), 3u) << got[0].bytes.substr(0, 2000);
  EXPECT_EQ(got[0].parts[0], std::make_pair(std::string("7bit"), holdsBoundary));
  EXPECT_EQ(got[0].parts[1], std::make_pair(std::string("quoted-printable"), notSevenBit));
  EXPECT_EQ(got[0].parts[2], std::make_pair(std::string("quoted-printable"), overLong));
  EXPECT_LE(test::LongestLine(got[0].bytes), 78u);
}

// Credentials go out in clear only to this machine; elsewhere they need TLS.
TEST_F(SmtpTest, CredentialsNeedEncryptionAwayFromThisMachine) {
  ASSERT_TRUE(mail_->SetBlocking(true).ok());
  mail_->SetSmtpUserName("alice");
  mail_->SetSmtpPassword("s3cret pass");
  bool ran = false;
  if (const std::string address = testing::NonLoopbackAddress(); !address.empty()) {
    ran = true;
    testing::ScriptedPeer plain(
        {"220 peer\r\n", "250-peer\r\n250 AUTH PLAIN LOGIN\r\n", "235 ok\r\n", "250 ok\r\n"},
        address);
    mail_->SetHost(plain.host());
    const MailStatus s = mail_->SetAction(3);
    EXPECT_EQ(s.number, kErrLoginFailed);
    EXPECT_NE(s.description.find("offers no encryption"), npos) << s.description;
    EXPECT_FALSE(mail_->Connected());
    for (const std::string& line : plain.ReceivedLines()) EXPECT_FALSE(line.starts_with("AUTH")) << line;
  }
  if (std::filesystem::exists("/usr/bin/openssl")) {
    ran = true;
    testing::SmtpSink selfSigned("alice:s3cret pass", true);
    mail_->SetHost(selfSigned.host());
    const MailStatus s = mail_->SetAction(3);
    EXPECT_EQ(s.number, kErrLoginFailed);
    EXPECT_TRUE(s.description.starts_with("certificate of 127.0.0.1 could not be verified: "))
        << s.description;
  }
  if (!ran) GTEST_SKIP() << "no address but loopback and no openssl";
}

}  // namespace
}  // namespace zorvik::mail
