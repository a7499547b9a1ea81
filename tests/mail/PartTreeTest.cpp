#include <gtest/gtest.h>

#include "mail/PartTree.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"

namespace zorvik::mail {
namespace {

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

}  // namespace
}  // namespace zorvik::mail
