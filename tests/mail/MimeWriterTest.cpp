#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "MailTestHelpers.h"
#include "mail/BinHex.h"
#include "mail/BodyEncoder.h"
#include "mail/CurlTransfer.h"
#include "mail/MailHeaders.h"
#include "mail/MimeWriter.h"
#include "mail/ProtocolTrace.h"
#include "mail/StoredMessage.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

MessageHeaders Headers() {
  return {"Ann Sender <ann@example.org>", "bob@example.net", "", "Greetings",
          "Sun, 06 Dec 2026 16:48:39 +0000", "<1.2@example.org>"};
}

MimePart& Child(MimePart& parent, std::string type, std::string encoding, std::string body) {
  parent.children.push_back(std::make_unique<MimePart>());
  MimePart& p = *parent.children.back();
  p.contentType = std::move(type);
  p.transferEncoding = std::move(encoding);
  p.body = {std::move(body)};
  return p;
}

TEST(MimeWriterTest, MultipartWithCallersBoundaryAndParameters) {
  MimePart root;
  root.contentType = "multipart";
  root.contentSubtype = "mixed";
  root.contentParameters = "boundary=123_boundary";
  root.boundary = "123_boundary";
  Child(root, "text", "7bit", "Body text\r\n").contentDisposition = "inline";
  Child(root, "text", "", "na\xC3\xAFve\n");  // not 7bit: the writer picks an encoding
  MessageHeaders h = Headers();
  h.cc = "carl@example.com; dora@example.com";
  std::string out;
  ASSERT_TRUE(WriteMessage(h, root, out).ok());
  // The CRLF before a delimiter belongs to the delimiter: the text part's
  // own final line break is kept.
  EXPECT_EQ(out,
            "From: Ann Sender <ann@example.org>\r\n"
            "To: bob@example.net\r\n"
            "Cc: carl@example.com, dora@example.com\r\n"
            "Subject: Greetings\r\n"
            "Date: Sun, 06 Dec 2026 16:48:39 +0000\r\n"
            "Message-ID: <1.2@example.org>\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=123_boundary\r\n"
            "\r\n"
            "--123_boundary\r\n"
            "Content-Type: text/plain; charset=us-ascii\r\n"
            "Content-Transfer-Encoding: 7bit\r\n"
            "Content-Disposition: inline\r\n"
            "\r\n"
            "Body text\r\n"
            "\r\n"
            "--123_boundary\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n"
            "\r\n"
            "na=C3=AFve\r\n"
            "\r\n"
            "--123_boundary--\r\n");
}

TEST(MimeWriterTest, RefusesHeaderInjectionAndWhatCannotBeWritten) {
  using Change = std::function<void(MessageHeaders&, MimePart&)>;
  const Change changes[] = {
      [](MessageHeaders& h, MimePart&) { h.subject = "Hi\r\nBcc: victim@example.com"; },
      [](MessageHeaders& h, MimePart&) { h.to = "bob@example.net\nX-Evil: 1"; },
      [](MessageHeaders& h, MimePart&) { h.from = "ann@example.org\r"; },
      [](MessageHeaders& h, MimePart&) { h.cc = "a@b\0c"s; },
      [](MessageHeaders& h, MimePart&) { h.date = "today\r\n\r\nbody"; },
      [](MessageHeaders&, MimePart& r) {
        Child(r, "", "", "").contentDisposition = "attachment;\r\nContent-Type: text/html";
      },
      [](MessageHeaders&, MimePart& r) { r.transferEncoding = "rot13"; },
      // Children of a single part would be dropped silently.
      [](MessageHeaders&, MimePart& r) { r.contentType = "text"; Child(r, "", "", ""); },
      [](MessageHeaders&, MimePart& r) {
        r.contentType = "multipart";
        r.boundary = "has\"quote";
        Child(r, "", "", "");
      }};
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    MessageHeaders h = Headers();
    MimePart root;
    changes[i](h, root);
    std::string out = "stale";
    EXPECT_EQ(WriteMessage(h, root, out).number, kErrInvalidEntry) << "case " << i;
    EXPECT_EQ(out, "") << "case " << i;
  }
}

// Each multipart's delimiter lines must be exactly its own: one before each
// child and the closing one. Returns the boundaries found, outermost first.
std::vector<std::string> CheckDelimiters(const std::string& message,
                                         const std::vector<std::size_t>& children) {
  std::vector<std::string> boundaries;
  for (std::size_t at = 0; (at = message.find("boundary=", at)) != std::string::npos; at += 9) {
    std::string b = message.substr(at + 9, message.find_first_of(";\r", at + 9) - at - 9);
    if (b.front() == '"') b = b.substr(1, b.size() - 2);
    boundaries.push_back(b);
  }
  EXPECT_EQ(boundaries.size(), children.size());
  for (std::size_t i = 0; i < boundaries.size() && i < children.size(); ++i) {
    std::size_t lines = message.starts_with("--" + boundaries[i]) ? 1 : 0;
    for (std::size_t at = 0; (at = message.find("\n--" + boundaries[i], at)) != std::string::npos; ++at)
      ++lines;
    EXPECT_EQ(lines, children[i] + 1) << boundaries[i] << " in\n" << message;
  }
  return boundaries;
}

// A boundary that a part holds at a line start (here after a soft line
// break), or that begins with an enclosing part's, is replaced; a safe one
// stays; a multipart without one gets one.
TEST(MimeWriterTest, BoundariesNeverOccurInsideTheirParts) {
  for (const bool held : {false, true}) {
    MimePart root;
    root.contentType = "multipart";
    root.boundary = "b1";
    MimePart& inner = Child(root, "multipart", "", "");
    inner.boundary = "b12";  // "--b12" lines would also read as "--b1" lines
    Child(inner, "text", "7bit", "not at the start: --b1\r\n");
    // Where a soft break falls is the encoder's choice: try every column.
    std::string softBreaks;
    for (std::size_t column = 60; held && column < 78; ++column)
      softBreaks += std::string(column, 'x') + "--b1 x\r\n";
    Child(root, "text", "quoted-printable", softBreaks);
    Child(root, "application", "base64", "--b1\r\n");  // base64 cannot hold it
    MimePart& none = Child(root, "multipart", "", "");
    Child(none, "", "", "x");
    std::string whole, pieces;
    ASSERT_TRUE(WriteMessage(Headers(), root, whole).ok());
    MessageWriter writer;
    ASSERT_TRUE(writer.Start(Headers(), root).ok());
    while (!writer.Prepare(std::chrono::microseconds(1))) {
    }
    while (writer.Read(pieces, 1000)) {
    }
    EXPECT_EQ(pieces.size(), writer.Size());
    for (const std::string* message : {&whole, &pieces}) {
      const auto boundaries = CheckDelimiters(*message, {4, 1, 1});
      ASSERT_EQ(boundaries.size(), 3u);
      EXPECT_EQ(boundaries[0] == "b1", !held) << boundaries[0];
      EXPECT_EQ(boundaries[1] == "b12", held) << boundaries[1];
      EXPECT_GT(boundaries[2].size(), 0u);
    }
  }
}

TEST(BodyEncoderTest, LineEndsAndUuencodeName) {
  EXPECT_EQ(ToCrlf("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
  // The name inside the body stays on its line; a zero-length line ends the data.
  const auto uu = EncodeBody(TransferCoding::UUEncode, "abc", false, "x\r\ny.txt");
  ASSERT_TRUE(uu);
  EXPECT_TRUE(uu->starts_with("begin 644 x__y.txt\r\n")) << *uu;
  EXPECT_TRUE(uu->ends_with("\r\n`\r\nend\r\n")) << *uu;
}

// Checked once against a decoder written from the format description: runs
// (one over 255), literal 0x90, a wrapped line, a name cut to 63 bytes.
TEST(BinHexTest, KnownEncodings) {
  std::string data = "AAAAAA\x90\x90" "B"s;
  for (int i = 0; i < 60; ++i) data += static_cast<char>(i);
  const std::string intro = "(This file must be converted with BinHex 4.0)\r\n\r\n";
  const std::string cases[][3] = {
      {"a", "", ":!@%!2j!)!*!+cPd!N!3:\r\n"},
      {"a.txt", "Hello", ":\"@%ZG(Kd!$q3#!#3\"38!N!54&dKPE'a[bpB!!!:\r\n"},
      {"r.bin", data,
       ":\"A)ZBQPZ!$q3#!#3\"88!N!5q+8'3\"T!!N!\"#!!%#!`3&\"JF)#3S,$!d1$a!4%K-\r\n"
       "8&4BA'\"ND'a`G(KmJ)5)M*#8Q*bJT+LXX,5i[-$%b-c3e0MFi16SlN[3!!!:\r\n"},
      {std::string(80, 'n'), std::string(300, 'z') + std::string(5, '\x90') + std::string(3, '\0'),
       ":2fk32`!rN!J!N!3\"0!#3\"$1cHT$rHT!YN!#3!*!!N!#3!!!!!26F!!!:\r\n"}};
  for (const auto& [name, bytes, text] : cases) EXPECT_EQ(BinHexEncode(name, bytes), intro + text);
}

// Long headers fold at blanks; non-ASCII ones become encoded words that a
// reader (VMime, in the stored-message reader) decodes back.
TEST(MailHeadersTest, AddressListsEncodedWordsAndFolding) {
  EXPECT_EQ(SplitAddressList(" a@x ; \"Doe, J\" <j@y>,, <k@z> "),
            (std::vector<std::string>{"a@x", "\"Doe, J\" <j@y>", "<k@z>"}));
  EXPECT_EQ(AddrSpec("\"Doe, J\" <j@y>"), "j@y");
  EXPECT_EQ(AddrSpec("  plain@host "), "plain@host");
  const std::string encoded = FormatAddressList("Jörg <j@x>");
  EXPECT_TRUE(encoded.starts_with("=?UTF-8?B?") && encoded.ends_with(" <j@x>")) << encoded;
  std::string words;
  for (int i = 0; i < 30; ++i) words += "word" + std::to_string(i) + " ";
  std::string line = HeaderLine("Subject", words);
  EXPECT_LE(test::LongestLine(line), 78u);
  for (std::size_t fold; (fold = line.find("\r\n ")) != std::string::npos;) line.erase(fold, 2);
  EXPECT_EQ(line, "Subject: " + words + "\r\n") << "folded only at blanks";

  MimePart root;
  root.body = {"x"};
  MessageHeaders h = Headers();
  h.subject = "Grüße aus Köln – ein ziemlich langer Betreff mit Umlauten äöü und noch mehr Text";
  std::string out;
  ASSERT_TRUE(WriteMessage(h, root, out).ok());
  EXPECT_LE(test::LongestLine(out), 78u);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](unsigned char c) { return c < 0x80; }));
  StoredMessageSummary read;
  ASSERT_TRUE(ReadStoredMessage(out, read).ok());
  EXPECT_EQ(read.subject, h.subject);
}

TEST(MailUrlTest, CredentialsNeedTlsAwayFromThisMachine) {
  const std::pair<const char*, bool> hosts[] = {  // host, names this machine
      {"localhost", true},          {"LOCALHOST:2525", true},      {" 127.8.9.10:25 ", true},
      {"[::1]:25", true},           {"[::ffff:127.0.0.1]", true},  {"mail.example.org", false},
      {"localhost.example.org", false}, {"127.0.0.1.example.org", false}, {"192.0.2.1", false},
      {"[::2]", false},             {"0.0.0.0", false},            {"", false}};
  for (const auto& [host, local] : hosts) {
    EXPECT_EQ(IsLoopbackHost(host), local) << host;
    EXPECT_EQ(RequiresTls(host, true), !local) << host;
    EXPECT_FALSE(RequiresTls(host, false)) << host;
  }
}

TEST(MailUrlTest, HostAndPort) {
  EXPECT_EQ(MailUrl("smtp", "mail.example.org", 25, "me"), "smtp://mail.example.org:25/me");
  EXPECT_EQ(MailUrl("smtp", " 127.0.0.1:2525 ", 25, ""), "smtp://127.0.0.1:2525/");
  EXPECT_EQ(MailUrl("pop3", "[::1]:1100", 110, ""), "pop3://[::1]:1100/");
  for (const char* bad : {"", "evil.org/x?y", "user@evil.org", "host:70000", "host:25x"})
    EXPECT_FALSE(MailUrl("smtp", bad, 25, "")) << bad;
}

// (A SASL exchange over several lines is checked against a real server.)
TEST(ProtocolTraceTest, CredentialsOnOneLineOrInPiecesNeverShow) {
  ProtocolTrace t;
  std::vector<std::string> lines;
  t.Client("AUTH PLAIN AGFsaWNlAHNlY3JldA==\r\nPA", lines);
  t.Client("SS secret\r\nAPOP alice 0123456789abcdef\r\n", lines);
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  EXPECT_EQ(lines.size(), 3u) << all;
  for (const char* secret : {"AGFsaWNl", "secret", "0123456789"})
    EXPECT_EQ(all.find(secret), std::string::npos) << secret << " in\n" << all;
}

}  // namespace
}  // namespace zorvik::mail
