#include <gtest/gtest.h>

#include "mail/StoredMessage.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

TEST(StoredMessageTest, ReadsSummaryOfAGoodMessage) {
  StoredMessageSummary s;
  const std::string msg =
      "Return-Path: <ann@example.org>\r\n"
      "From: Ann Sender <ann@example.org>\r\n"
      "Subject: Quarterly\r\n numbers\r\n"
      "Date: Sun, 6 Dec 2026 16:48:39 +0100\r\n"
      "\r\n"
      "From: not a header\r\n";
  ASSERT_TRUE(ReadStoredMessage(msg, s).ok());
  EXPECT_EQ(s.subject, "Quarterly numbers");
  EXPECT_EQ(s.from, "Ann Sender <ann@example.org>");
  EXPECT_NE(s.date.find("16:48:39 +0100"), std::string::npos) << s.date;
  EXPECT_NE(s.date.find("Dec 2026"), std::string::npos) << s.date;
}

TEST(StoredMessageTest, DecodesEncodedWords) {
  StoredMessageSummary s;
  const std::string msg =
      "From: =?UTF-8?B?SsO2cmc=?= <j@example.de>\n"
      "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= aus =?UTF-8?B?S8O2bG4=?=\n"
      "\n"
      "body\n";
  ASSERT_TRUE(ReadStoredMessage(msg, s).ok());
  EXPECT_EQ(s.subject, "Grüße aus Köln");
  EXPECT_EQ(s.from, "Jörg <j@example.de>");
  EXPECT_EQ(s.date, "");
}

TEST(StoredMessageTest, RefusesWhatIsNotAMessage) {
  StoredMessageSummary s;
  for (const std::string& bytes :
       {""s, "just some text\r\nover two lines\r\n"s, "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s,
        "X-Only: a header nobody reads\r\n\r\nbody"s, "\r\nSubject: late\r\n"s,
        ": empty name\r\n"s}) {
    const MailStatus st = ReadStoredMessage(bytes, s);
    EXPECT_EQ(st.number, kErrBadFormat) << bytes;
    EXPECT_TRUE(s.subject.empty());
  }
}

TEST(StoredMessageTest, ComponentReadsAStoredFile) {
  testing::TempDir dir;
  const auto file = dir.path() / "3.msg";
  testing::WriteFile(file, "Subject: =?UTF-8?Q?Caf=C3=A9?=\r\nFrom: a@b.c\r\n"
                           "Date: Mon, 7 Dec 2026 08:00:00 +0000\r\n\r\nHi\r\n");
  testing::FakeHost host;
  mMail mail(host);
  mail.SetFlags(2);
  mail.SetMessageFile(file.string());
  ASSERT_TRUE(mail.SetAction(13).ok());
  EXPECT_EQ(mail.Subject(), "Café");
  EXPECT_EQ(mail.From(), "a@b.c");
  EXPECT_NE(mail.Date().find("08:00:00"), std::string::npos);

  mail.SetMessageFile((dir.path() / "missing.msg").string());
  EXPECT_EQ(mail.SetAction(13).number, kErrCannotOpenFile);
  testing::WriteFile(dir.path() / "junk.msg", "\x7f" "ELF\x02\x01\x01"s);
  mail.SetMessageFile((dir.path() / "junk.msg").string());
  EXPECT_EQ(mail.SetAction(13).number, kErrBadFormat);
  EXPECT_EQ(mail.Subject(), "Café") << "a failed read changes nothing";
}

TEST(StoredMessageTest, ComponentLoadsAttachmentFiles) {
  testing::TempDir dir;
  testing::FakeHost host;
  mMail mail(host);
  mail.SetAction(4);
  mail.SetAction(7);
  mail.SetTransferEncoding("base64");
  mail.SetFlags(130);
  mail.SetMessageFile((dir.path() / "none.zip").string());
  EXPECT_EQ(mail.SetAction(9).number, kErrCannotOpenFile);
  testing::WriteFile(dir.path() / "a.zip", "PK\x03\x04"s);
  mail.SetMessageFile((dir.path() / "a.zip").string());
  ASSERT_TRUE(mail.SetAction(9).ok());
  EXPECT_EQ(mail.PartBody(0), "PK\x03\x04"s);
  EXPECT_EQ(mail.Parts().Current().fileName, "a.zip");
  mail.SetTransferEncoding("x-unknown");
  EXPECT_EQ(mail.SetAction(9).number, kErrInvalidEntry);
}

}  // namespace
}  // namespace zorvik::mail
