#include <gtest/gtest.h>

#include "MailTestHelpers.h"
#include "mail/BodyEncoder.h"
#include "mail/CurlTransfer.h"
#include "mail/MailHeaders.h"
#include "mail/MimeWriter.h"
#include "mail/ProtocolTrace.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

MessageHeaders Headers() {
  MessageHeaders h;
  h.from = "Ann Sender <ann@example.org>";
  h.to = "bob@example.net";
  h.subject = "Greetings";
  h.date = "Sun, 06 Dec 2026 16:48:39 +0000";
  h.messageId = "<1.2@example.org>";
  return h;
}

TEST(MimeWriterTest, SimpleMessage) {
  MimePart root;
  root.body = {"Hello\nWorld"};
  MessageHeaders h = Headers();
  h.cc = "carl@example.com; dora@example.com";
  std::string out;
  ASSERT_TRUE(WriteMessage(h, root, out).ok());
  EXPECT_EQ(out,
            "From: Ann Sender <ann@example.org>\r\n"
            "To: bob@example.net\r\n"
            "Cc: carl@example.com, dora@example.com\r\n"
            "Subject: Greetings\r\n"
            "Date: Sun, 06 Dec 2026 16:48:39 +0000\r\n"
            "Message-ID: <1.2@example.org>\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=us-ascii\r\n"
            "\r\n"
            "Hello\r\nWorld\r\n");
}

TEST(MimeWriterTest, MultipartWithCallersBoundary) {
  MimePart root;
  root.contentType = "multipart";
  root.contentSubtype = "mixed";
  root.contentParameters = "boundary=123_boundary";
  root.boundary = "123_boundary";
  auto text = std::make_unique<MimePart>();
  text->contentType = "text";
  text->contentSubtype = "plain";
  text->contentParameters = "charset=us-ascii";
  text->transferEncoding = "7bit";
  text->body = {"Body text\r\n"};
  auto file = std::make_unique<MimePart>();
  file->contentType = "application";
  file->contentSubtype = "octet-stream";
  file->transferEncoding = "base64";
  file->contentDisposition = "attachment; filename=\"abc.bin\"";
  file->body = {"abc"};
  root.children.push_back(std::move(text));
  root.children.push_back(std::move(file));
  std::string out;
  ASSERT_TRUE(WriteMessage(Headers(), root, out).ok());
  const std::string expectedBody =
      "Content-Type: multipart/mixed; boundary=123_boundary\r\n"
      "\r\n"
      "--123_boundary\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n"
      "Content-Transfer-Encoding: 7bit\r\n"
      "\r\n"
      "Body text\r\n"
      "\r\n"
      "--123_boundary\r\n"
      "Content-Type: application/octet-stream\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"abc.bin\"\r\n"
      "\r\n"
      "YWJj\r\n"
      "\r\n"
      "--123_boundary--\r\n";
  ASSERT_TRUE(out.ends_with(expectedBody)) << out;
  const auto parsed = test::ParseWithVmime(out);
  EXPECT_EQ(parsed.boundary, "123_boundary");
  ASSERT_EQ(parsed.leaves.size(), 2u);
  EXPECT_EQ(parsed.leaves[0].body, "Body text\r\n") << "a body's final line break survives";
  EXPECT_EQ(parsed.leaves[1].body, "abc");
}

TEST(MimeWriterTest, MultipartWithoutBoundaryGetsOne) {
  MimePart root;
  root.contentType = "multipart";
  root.contentSubtype = "alternative";
  root.children.push_back(std::make_unique<MimePart>());
  root.children.back()->body = {"x"};
  std::string out;
  ASSERT_TRUE(WriteMessage(Headers(), root, out).ok());
  const auto parsed = test::ParseWithVmime(out);
  EXPECT_FALSE(parsed.boundary.empty());
  ASSERT_EQ(parsed.leaves.size(), 1u);
  EXPECT_EQ(parsed.leaves[0].body, "x");
}

TEST(MimeWriterTest, RefusesLineBreaksInHeaderValues) {
  const MimePart root;
  std::string out;
  for (auto change : std::vector<std::function<void(MessageHeaders&)>>{
           [](MessageHeaders& h) { h.subject = "Hi\r\nBcc: victim@example.com"; },
           [](MessageHeaders& h) { h.to = "bob@example.net\nX-Evil: 1"; },
           [](MessageHeaders& h) { h.from = "ann@example.org\r"; },
           [](MessageHeaders& h) { h.cc = "a@b\0c"s; },
           [](MessageHeaders& h) { h.date = "today\r\n\r\nbody"; }}) {
    MessageHeaders h = Headers();
    change(h);
    const MailStatus s = WriteMessage(h, root, out);
    EXPECT_EQ(s.number, kErrInvalidEntry);
    EXPECT_TRUE(out.empty());
  }
  MimePart bad;
  bad.children.push_back(std::make_unique<MimePart>());
  bad.children.back()->contentDisposition = "attachment;\r\nContent-Type: text/html";
  EXPECT_EQ(WriteMessage(Headers(), bad, out).number, kErrInvalidEntry);
}

TEST(MimeWriterTest, RefusesWhatCannotBeWritten) {
  std::string out;
  MimePart unknown;
  unknown.transferEncoding = "rot13";
  EXPECT_EQ(WriteMessage(Headers(), unknown, out).number, kErrInvalidEntry);

  MimePart notMultipart;
  notMultipart.contentType = "text";
  notMultipart.children.push_back(std::make_unique<MimePart>());
  EXPECT_EQ(WriteMessage(Headers(), notMultipart, out).number, kErrInvalidEntry)
      << "children of a single part would be dropped silently";

  MimePart badBoundary;
  badBoundary.contentType = "multipart";
  badBoundary.boundary = "has\"quote";
  badBoundary.children.push_back(std::make_unique<MimePart>());
  EXPECT_EQ(WriteMessage(Headers(), badBoundary, out).number, kErrInvalidEntry);
}

TEST(MimeWriterTest, NonAsciiSubjectBecomesEncodedWords) {
  MimePart root;
  root.body = {"x"};
  MessageHeaders h = Headers();
  h.subject = "Grüße aus Köln – ein ziemlich langer Betreff mit Umlauten äöü und noch mehr Text";
  std::string out;
  ASSERT_TRUE(WriteMessage(h, root, out).ok());
  const auto parsed = test::ParseWithVmime(out);
  EXPECT_EQ(parsed.subject, h.subject);
  EXPECT_NE(parsed.headerBlock.find("Subject: =?UTF-8?B?"), std::string::npos);
  for (std::size_t pos = 0; pos < parsed.headerBlock.size();) {
    const std::size_t end = parsed.headerBlock.find("\r\n", pos);
    EXPECT_LE(end - pos, 78u);
    for (std::size_t i = pos; i < end; ++i)
      EXPECT_LT(static_cast<unsigned char>(parsed.headerBlock[i]), 0x80);
    pos = end + 2;
  }
}

TEST(MimeWriterTest, EncodesWhatTheCallerChose) {
  std::string binary;
  for (int i = 0; i < 600; ++i) binary += static_cast<char>(i % 256);
  const std::string text = "Line one\r\n.leading dot\r\nZeile mit Umlaut \xC3\xA4\r\n";
  struct Case {
    const char* encoding;
    const char* type;
    std::string body;
  };
  for (const Case& c : {Case{"base64", "application", binary},
                        Case{"quoted-printable", "application", binary},
                        Case{"quoted-printable", "text", text}, Case{"7bit", "text", text},
                        Case{"x-uuencode", "application", binary}}) {
    SCOPED_TRACE(std::string(c.encoding) + " " + c.type);
    MimePart root;
    root.contentType = "multipart";
    root.boundary = "b1";
    auto part = std::make_unique<MimePart>();
    part->contentType = c.type;
    part->transferEncoding = c.encoding;
    part->body = {c.body};
    part->fileName = "data.bin";
    root.children.push_back(std::move(part));
    std::string out;
    ASSERT_TRUE(WriteMessage(Headers(), root, out).ok());
    const auto parsed = test::ParseWithVmime(out);
    ASSERT_EQ(parsed.leaves.size(), 1u);
    EXPECT_EQ(parsed.leaves[0].encoding, c.encoding);
    EXPECT_TRUE(parsed.leaves[0].body == c.body);
    for (std::size_t pos = 0; pos < parsed.leaves[0].rawBody.size();) {
      std::size_t end = parsed.leaves[0].rawBody.find("\r\n", pos);
      if (end == std::string::npos) end = parsed.leaves[0].rawBody.size();
      EXPECT_LE(end - pos, 76u);
      pos = end + 2;
    }
  }
}

TEST(MimeWriterTest, ChoosesAnEncodingWhenNoneIsGiven) {
  MimePart root;
  root.body = {"na\xC3\xAFve\n"};
  std::string out;
  ASSERT_TRUE(WriteMessage(Headers(), root, out).ok());
  EXPECT_NE(out.find("Content-Type: text/plain; charset=utf-8\r\n"), std::string::npos);
  EXPECT_NE(out.find("Content-Transfer-Encoding: quoted-printable\r\n"), std::string::npos);
  EXPECT_EQ(test::ParseWithVmime(out).leaves.at(0).body, "na\xC3\xAFve\r\n");
}

TEST(BodyEncoderTest, UuencodeHasNameAndTerminator) {
  const auto out = EncodeBody(TransferCoding::UUEncode, "abc", false, "x\r\ny.txt");
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->starts_with("begin 644 x__y.txt\r\n")) << *out;
  EXPECT_TRUE(out->ends_with("\r\n`\r\nend\r\n")) << *out;
}

TEST(BodyEncoderTest, SevenBitSafety) {
  EXPECT_TRUE(IsSevenBitSafe("a\r\nb"));
  EXPECT_FALSE(IsSevenBitSafe("a\nb"));
  EXPECT_FALSE(IsSevenBitSafe("a\rb"));
  EXPECT_FALSE(IsSevenBitSafe("\xC3\xA4"));
  EXPECT_FALSE(IsSevenBitSafe(std::string(999, 'a')));
  EXPECT_TRUE(IsSevenBitSafe(std::string(998, 'a')));
  EXPECT_EQ(ToCrlf("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
}

TEST(MailHeadersTest, AddressLists) {
  EXPECT_EQ(SplitAddressList(" a@x ; \"Doe, J\" <j@y>,, <k@z> "),
            (std::vector<std::string>{"a@x", "\"Doe, J\" <j@y>", "<k@z>"}));
  EXPECT_EQ(AddrSpec("\"Doe, J\" <j@y>"), "j@y");
  EXPECT_EQ(AddrSpec("  plain@host "), "plain@host");
  EXPECT_EQ(FormatAddressList("a@x;b@y"), "a@x, b@y");
  const std::string encoded = FormatAddressList("Jörg <j@x>");
  EXPECT_TRUE(encoded.starts_with("=?UTF-8?B?")) << encoded;
  EXPECT_TRUE(encoded.ends_with(" <j@x>"));
}

TEST(MailHeadersTest, LongHeadersFoldAtBlanks) {
  std::string words;
  for (int i = 0; i < 30; ++i) words += "word" + std::to_string(i) + " ";
  const std::string line = HeaderLine("Subject", words);
  std::string unfolded;
  for (std::size_t pos = 0; pos < line.size();) {
    const std::size_t end = line.find("\r\n", pos);
    EXPECT_LE(end - pos, 78u);
    unfolded += line.substr(pos, end - pos);
    pos = end + 2;
  }
  EXPECT_EQ(unfolded, "Subject: " + words);
  EXPECT_EQ(FormatMailDate(std::chrono::system_clock::time_point(std::chrono::seconds(0))),
            "Thu, 01 Jan 1970 00:00:00 +0000");
}

TEST(MailUrlTest, HostAndPort) {
  EXPECT_EQ(MailUrl("smtp", "mail.example.org", 25, "me"), "smtp://mail.example.org:25/me");
  EXPECT_EQ(MailUrl("smtp", " 127.0.0.1:2525 ", 25, ""), "smtp://127.0.0.1:2525/");
  EXPECT_EQ(MailUrl("pop3", "[::1]:1100", 110, ""), "pop3://[::1]:1100/");
  EXPECT_FALSE(MailUrl("smtp", "", 25, ""));
  EXPECT_FALSE(MailUrl("smtp", "evil.org/x?y", 25, ""));
  EXPECT_FALSE(MailUrl("smtp", "user@evil.org", 25, ""));
  EXPECT_FALSE(MailUrl("smtp", "host:70000", 25, ""));
  EXPECT_FALSE(MailUrl("smtp", "host:25x", 25, ""));
}

TEST(ProtocolTraceTest, CredentialsNeverShow) {
  ProtocolTrace t;
  std::vector<std::string> lines;
  t.Client("EHLO me\r\n", lines);
  t.Server("250-AUTH PLAIN LOGIN\r\n250 OK\r\n", lines);
  t.Client("AUTH LOGIN\r\n", lines);
  t.Server("334 VXNlcm5hbWU6\r\n", lines);
  t.Client("YWxpY2U=\r\n", lines);
  t.Server("334 UGFzc3dvcmQ6\r\n", lines);
  t.Client("c2VjcmV0\r\n", lines);
  t.Server("235 Authentication successful\r\n", lines);
  t.Client("MAIL FROM:<a@b>\r\n", lines);
  t.Client("AUTH PLAIN AGFsaWNlAHNlY3JldA==\r\n", lines);
  t.Client("PASS secret\r\n", lines);
  t.Client("APOP alice 0123456789abcdef\r\n", lines);
  t.Server("+ \r\n", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "EHLO me", "250-AUTH PLAIN LOGIN", "250 OK", "AUTH LOGIN", "334 ****",
                       "****", "334 ****", "****", "235 Authentication successful",
                       "MAIL FROM:<a@b>", "AUTH PLAIN ****", "PASS ****", "APOP alice ****",
                       "+ ****"}));
  t.Data(10);
  t.Data(5);
  EXPECT_EQ(t.TakeDataSummary(), "[15 bytes of message data]");
  EXPECT_EQ(t.TakeDataSummary(), "");
}

TEST(MailComponentTest, ComposedMessageLeavesOutBcc) {
  testing::FakeHost host;
  mMail mail(host);
  mail.SetFrom("ann@example.org");
  mail.SetTo("bob@example.net");
  mail.SetBcc("hidden@example.com");
  mail.SetSubject("s");
  mail.SetPartBody("b");
  std::string out;
  ASSERT_TRUE(mail.ComposeMessage(out).ok());
  EXPECT_EQ(out.find("hidden"), std::string::npos);
  EXPECT_EQ(out.find("Bcc"), std::string::npos);
  EXPECT_NE(out.find("Date: Tue, 14 Nov 2023 22:13:20 +0000\r\n"), std::string::npos)
      << "the date comes from the host's clock";
  EXPECT_NE(out.find("Message-ID: <"), std::string::npos);
  EXPECT_NE(out.find("@example.org>\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zorvik::mail
