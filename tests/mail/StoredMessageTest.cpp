#include <gtest/gtest.h>

#include "mail/StoredMessage.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

TEST(StoredMessageTest, ReadsTheSummaryFromTheHeaderBlock) {
  StoredMessageSummary s;
  ASSERT_TRUE(ReadStoredMessage("Return-Path: <ann@example.org>\r\n"
                                "From: Ann Sender <ann@example.org>\r\n"
                                "Subject: Quarterly\r\n numbers\r\n"
                                "Date: Sun, 6 Dec 2026 16:48:39 +0100\r\n"
                                "\r\n"
                                "Subject: not a header\r\n",
                                s)
                  .ok());
  EXPECT_EQ(s.subject, "Quarterly numbers");
  EXPECT_EQ(s.from, "Ann Sender <ann@example.org>");
  EXPECT_NE(s.date.find("16:48:39 +0100"), std::string::npos) << s.date;
}

TEST(StoredMessageTest, RefusesWhatIsNotAMessage) {
  for (const std::string& bytes :
       {""s, "just some text\r\nover two lines\r\n"s, "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s,
        "X-Only: a header nobody reads\r\n\r\nbody"s, "\r\nSubject: late\r\n"s,
        ": empty name\r\n"s}) {
    StoredMessageSummary s;
    EXPECT_EQ(ReadStoredMessage(bytes, s).number, kErrBadFormat) << bytes;
  }
}

TEST(StoredMessageTest, ComponentReadsStoredFilesAndRefusesBadAttachments) {
  testing::TempDir dir;
  testing::FakeHost host;
  mMail mail(host);
  auto run = [&](int flags, const std::string& name) {
    mail.SetFlags(flags);
    mail.SetMessageFile((dir.path() / name).string());
    return mail.SetAction(flags == 2 ? 13 : 9).number;
  };
  testing::WriteFile(dir.path() / "3.msg",
                     "From: =?UTF-8?B?SsO2cmc=?= <j@example.de>\n"
                     "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= aus =?UTF-8?B?S8O2bG4=?=\n\nbody\n");
  testing::WriteFile(dir.path() / "junk.msg", "\x7f" "ELF\x02\x01\x01"s);
  ASSERT_EQ(run(2, "3.msg"), 0);
  EXPECT_EQ(mail.Subject(), "Grüße aus Köln");
  EXPECT_EQ(mail.From(), "Jörg <j@example.de>");
  EXPECT_EQ(run(2, "missing.msg"), kErrCannotOpenFile);
  EXPECT_EQ(run(2, "junk.msg"), kErrBadFormat);
  EXPECT_EQ(mail.Subject(), "Grüße aus Köln") << "a failed read changes nothing";

  mail.SetTransferEncoding("base64");
  EXPECT_EQ(run(130, "none.zip"), kErrCannotOpenFile);
  mail.SetTransferEncoding("x-unknown");
  EXPECT_EQ(run(130, "3.msg"), kErrInvalidEntry);
}

}  // namespace
}  // namespace zorvik::mail
