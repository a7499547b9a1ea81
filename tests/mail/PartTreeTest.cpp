#include <gtest/gtest.h>

#include "mail/MailErrors.h"
#include "mail/PartTree.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"

namespace zorvik::mail {
namespace {

TEST(MailErrorsTest, TableGivesFixedTexts) {
  EXPECT_EQ(MailErrorText(10061), "The requested connection has been refused by the remote host.");
  EXPECT_EQ(MailErrorText(11001), "Remote host could not be found.");
  EXPECT_EQ(MailErrorText(20004), "Login failed.");
  EXPECT_EQ(MailErrorText(20014), "Could not close file.");
  EXPECT_EQ(MailErrorText(10004), "System level interrupt interrupted socket operation.");
  EXPECT_TRUE(MailErrorText(10035).ends_with("It is safe to ignore this error code."));
  EXPECT_TRUE(MailErrorText(12345).empty());
  EXPECT_FALSE(IsKnownMailError(0));
  const MailStatus s = MailStatus::Error(20010);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.description, "Cannot Descend, message has no parts.");
}

TEST(PartTreeTest, EmptyTreeRefusesToMove) {
  PartTree t;
  EXPECT_EQ(t.PartCount(), 0);
  EXPECT_EQ(t.PartIndex(), 0);
  const MailStatus up = t.Ascend();
  EXPECT_EQ(up.number, 20009);
  EXPECT_EQ(up.description, "Cannot Ascend, already at top level of message.");
  const MailStatus down = t.Descend();
  EXPECT_EQ(down.number, 20010);
  EXPECT_EQ(down.description, "Cannot Descend, message has no parts.");
  EXPECT_EQ(&t.Current(), &t.Root());
}

TEST(PartTreeTest, NavigatesInDocumentOrder) {
  PartTree t;
  t.AppendChild();
  t.AppendChild();
  EXPECT_EQ(&t.Current(), &t.Root()) << "appending keeps the current part";
  ASSERT_TRUE(t.Descend().ok());
  EXPECT_EQ(t.PartIndex(), 2) << "descend goes to the newest child";
  t.Current().contentSubtype = "second";
  ASSERT_TRUE(t.Ascend().ok());
  ASSERT_TRUE(t.SetPartIndex(1).ok());
  t.Current().contentSubtype = "first";
  t.AppendChild();  // grandchild under the first child
  ASSERT_TRUE(t.Descend().ok());
  t.Current().contentSubtype = "grandchild";
  EXPECT_EQ(t.PartIndex(), 2);
  EXPECT_EQ(t.PartCount(), 3);
  ASSERT_TRUE(t.SetPartIndex(3).ok());
  EXPECT_EQ(t.Current().contentSubtype, "second");
  EXPECT_EQ(t.Descend().number, 20010);
  ASSERT_TRUE(t.Ascend().ok());
  EXPECT_EQ(t.Ascend().number, 20009);

  EXPECT_EQ(t.SetPartIndex(4).number, kErrInvalidEntry);
  EXPECT_EQ(t.SetPartIndex(-1).number, kErrInvalidEntry);
  EXPECT_EQ(&t.Current(), &t.Root()) << "a refused index leaves the current part";
  t.Clear();
  EXPECT_EQ(t.PartCount(), 0);
}

TEST(PartTreeTest, BodyPiecesConcatenate) {
  PartTree t;
  ASSERT_TRUE(t.SetPartBody(2, "C").ok());
  ASSERT_TRUE(t.SetPartBody(0, "A").ok());
  EXPECT_EQ(t.PartBody(1), "");
  EXPECT_EQ(t.PartBody(7), "");
  EXPECT_EQ(t.Current().Body(), "AC");
  ASSERT_TRUE(t.SetPartBody(0, "B").ok());
  EXPECT_EQ(t.Current().Body(), "BC");
  EXPECT_EQ(t.SetPartBody(-1, "x").number, kErrInvalidEntry);
  EXPECT_EQ(t.SetPartBody(1 << 20, "x").number, kErrInvalidEntry);
}

TEST(MailComponentTest, ActionCodesBuildAnAttachmentTree) {
  testing::FakeHost host;
  mMail mail(host);
  int done = 0;
  mail.onDone = [&] { ++done; };
  mail.SetContentType("multipart");
  mail.SetContentSubtype("mixed");
  mail.SetContentParameters("boundary=42_boundary");
  mail.SetBoundary("42_boundary");
  ASSERT_TRUE(mail.SetAction(4).ok());
  ASSERT_TRUE(mail.SetAction(7).ok());
  EXPECT_EQ(mail.PartIndex(), 1);
  mail.SetContentType("text");
  ASSERT_TRUE(mail.SetAction(2).ok());
  EXPECT_EQ(mail.ContentType(), "multipart");
  EXPECT_EQ(mail.PartCount(), 1);
  EXPECT_EQ(mail.SetAction(2).number, 20009);
  EXPECT_EQ(mail.SetAction(5).number, kErrInvalidEntry);
  host.DoEvents();
  EXPECT_EQ(done, 0) << "part operations raise no Done";
}

TEST(MailComponentTest, OperationsWithoutConnectionFail) {
  testing::FakeHost host;
  mMail mail(host);
  ASSERT_TRUE(mail.SetBlocking(true).ok());
  EXPECT_EQ(mail.SetAction(15).number, kErrNotConnected);
  mail.SetFlags(4);
  EXPECT_EQ(mail.SetAction(13).number, kErrNotConnected);
  EXPECT_EQ(mail.SetAction(10).number, kErrNotConnected);
  EXPECT_TRUE(mail.SetAction(8).ok()) << "closing nothing succeeds";
  mail.SetFlags(0);
  EXPECT_EQ(mail.SetAction(13).number, kErrInvalidEntry);

  ASSERT_TRUE(mail.SetBlocking(false).ok());
  std::vector<int> errors;
  int done = 0;
  mail.onAsyncError = [&](int n, const std::string& text) {
    errors.push_back(n);
    EXPECT_EQ(text, MailErrorText(n));
  };
  mail.onDone = [&] { ++done; };
  EXPECT_TRUE(mail.SetAction(15).ok()) << "not blocking: the failure comes as an event";
  EXPECT_TRUE(errors.empty()) << "events wait for a pump";
  EXPECT_TRUE(mail.SetAction(8).ok());
  host.DoEvents();
  EXPECT_EQ(errors, std::vector<int>{kErrNotConnected});
  EXPECT_EQ(done, 1);
}

}  // namespace
}  // namespace zorvik::mail
