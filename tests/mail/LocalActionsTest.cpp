#include <gtest/gtest.h>
#include <sys/stat.h>

#include "mail/PartTree.h"
#include "mail/StoredMessage.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

TEST(PartTreeTest, NavigatesInDocumentOrderAndStaysInTheTree) {
  PartTree t;
  EXPECT_EQ(t.Ascend().number, 20009);
  EXPECT_EQ(t.Descend().number, 20010);
  t.AppendChild();
  t.AppendChild();
  EXPECT_EQ(&t.Current(), &t.Root()) << "appending keeps the current part";
  ASSERT_TRUE(t.Descend().ok());
  EXPECT_EQ(t.PartIndex(), 2) << "descend goes to the newest child";
  t.Current().contentSubtype = "second";
  ASSERT_TRUE(t.SetPartIndex(1).ok());
  t.AppendChild();  // a grandchild under the first child
  ASSERT_TRUE(t.Descend().ok());
  EXPECT_EQ(t.PartIndex(), 2);
  EXPECT_EQ(t.PartCount(), 3);
  ASSERT_TRUE(t.SetPartIndex(3).ok());
  EXPECT_EQ(t.Current().contentSubtype, "second");
  EXPECT_EQ(t.Descend().number, 20010);
  ASSERT_TRUE(t.Ascend().ok());
  EXPECT_EQ(t.Ascend().number, 20009);
  for (int bad : {4, -1}) EXPECT_EQ(t.SetPartIndex(bad).number, kErrInvalidEntry);
  EXPECT_EQ(&t.Current(), &t.Root()) << "a refused index leaves the current part";
}

TEST(PartTreeTest, BodyPiecesConcatenate) {
  PartTree t;
  ASSERT_TRUE(t.SetPartBody(2, "C").ok());
  ASSERT_TRUE(t.SetPartBody(0, "A").ok());
  ASSERT_TRUE(t.SetPartBody(0, "B").ok());
  EXPECT_EQ(t.Current().Body(), "BC");
  EXPECT_EQ(t.PartBody(7), "");
  for (int bad : {-1, 1 << 20}) EXPECT_EQ(t.SetPartBody(bad, "x").number, kErrInvalidEntry);
}

TEST(PartTreeTest, NestingStopsAtItsLimit) {
  testing::FakeHost host;
  mMail mail(host);
  int depth = 0;
  MailStatus refused;
  for (; depth < 200'000; ++depth) {
    if (refused = mail.SetAction(4); !refused.ok()) break;
    ASSERT_TRUE(mail.SetAction(7).ok());
  }
  EXPECT_EQ(depth, 100);
  EXPECT_EQ(refused.number, kErrCannotDescend);
  std::string message;
  EXPECT_TRUE(mail.ComposeMessage(message).ok());
}

TEST(MailComponentTest, OperationsWithoutConnectionFail) {
  testing::FakeHost host;
  mMail mail(host);
  ASSERT_TRUE(mail.SetBlocking(true).ok());
  mail.SetFlags(4);
  for (int action : {15, 13, 10}) EXPECT_EQ(mail.SetAction(action).number, kErrNotConnected);
  EXPECT_TRUE(mail.SetAction(8).ok()) << "closing nothing succeeds";

  ASSERT_TRUE(mail.SetBlocking(false).ok());
  std::vector<std::string> events;
  mail.onAsyncError = [&](int, const std::string& text) { events.push_back(text); };
  mail.onDone = [&] { events.push_back("done"); };
  EXPECT_TRUE(mail.SetAction(15).ok()) << "not blocking: the failure comes as an event";
  EXPECT_TRUE(mail.SetAction(8).ok());
  EXPECT_TRUE(events.empty()) << "events wait for a pump";
  host.DoEvents();
  EXPECT_EQ(events, (std::vector<std::string>{MailErrorText(kErrNotConnected).data(), "done"}));
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

// The summary comes from the header block only, unfolded and decoded.
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
                     "Return-Path: <j@example.de>\n"
                     "From: =?UTF-8?B?SsO2cmc=?= <j@example.de>\n"
                     "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?=\n aus =?UTF-8?B?S8O2bG4=?=\n"
                     "Date: Sun, 6 Dec 2026 16:48:39 +0100\n\nSubject: not a header\n");
  testing::WriteFile(dir.path() / "junk.msg", "\x7f" "ELF\x02\x01\x01"s);
  ASSERT_EQ(run(2, "3.msg"), 0);
  EXPECT_EQ(mail.Subject(), "Grüße aus Köln");
  EXPECT_EQ(mail.From(), "Jörg <j@example.de>");
  EXPECT_NE(mail.Date().find("16:48:39 +0100"), std::string::npos) << mail.Date();
  EXPECT_EQ(run(2, "missing.msg"), kErrCannotOpenFile);
  EXPECT_EQ(run(2, "junk.msg"), kErrBadFormat);
  EXPECT_EQ(mail.Subject(), "Grüße aus Köln") << "a failed read changes nothing";

  mail.SetTransferEncoding("base64");
  EXPECT_EQ(run(130, "none.zip"), kErrCannotOpenFile);
  mail.SetTransferEncoding("x-unknown");
  EXPECT_EQ(run(130, "3.msg"), kErrInvalidEntry);
}

// A FIFO (not waited on for a writer), a folder and an attachment over the
// limit (sparse, without taking the disk space) are refused.
TEST(StoredMessageTest, FilesThatCannotBeReadWholeAreRefused) {
  testing::TempDir dir;
  testing::FakeHost host;
  mMail mail(host);
  std::filesystem::create_directory(dir.path() / "folder");
  ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
  testing::WriteFile(dir.path() / "huge.zip", "");
  std::filesystem::resize_file(dir.path() / "huge.zip", (256 << 20) + 1);
  mail.SetTransferEncoding("base64");
  for (const int flags : {130, 2}) {
    for (const char* name : {"pipe", "folder", "huge.zip"}) {
      if (flags == 2 && name == std::string("huge.zip")) continue;  // only its head is read
      mail.SetFlags(flags);
      mail.SetMessageFile((dir.path() / name).string());
      const MailStatus s = mail.SetAction(flags == 2 ? 13 : 9);
      EXPECT_EQ(s.number, kErrCannotOpenFile) << name << " " << flags;
      if (flags == 130 && name == std::string("huge.zip")) {
        EXPECT_NE(s.description.find("256 MiB"), std::string::npos) << s.description;
      }
    }
  }
  EXPECT_EQ(mail.PartBody(), "");
  EXPECT_EQ(mail.From(), "");
}

}  // namespace
}  // namespace zorvik::mail
