#include <gtest/gtest.h>

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>

#include "GuiTestSupport.h"
#include "app/QtHost.h"
#include "app/robot/savedirs.h"
#include "mail/mMail.h"

namespace zorvik::app {
namespace {

using testing::AnswerModal;
using testing::ClickButton;

TEST(QtHostTest, NameFiltersFromDescriptionPatternPairs) {
  const struct {
    const char* filter;
    QStringList expected;
  } cases[] = {
      {"Text (*.txt)|*.txt", {"Text (*.txt)"}},
      {"HTML Page (*.htm)|*.htm|Active Server Page (*.asp)|*.asp|All Files (*.*)|*.*",
       {"HTML Page (*.htm)", "Active Server Page (*.asp)", "All Files (*.*)"}},
      {"Pages|*.htm;*.html", {"Pages (*.htm *.html)"}},
      {"Dangling|", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(NameFilters(c.filter), c.expected) << c.filter;
}

// Their texts show in the window tests' answered boxes.
TEST(QtHostTest, MessageBoxesShowTheirTitleAndIconAndReportTheButton) {
  QtHost host;
  QString title;
  QMessageBox::Icon icon{};
  AnswerModal([&](QWidget& dialog) {
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    title = box.windowTitle();
    icon = box.icon();
    ClickButton(box, "No");
  });
  EXPECT_EQ(host.MsgBox("Go on?", MsgButtons::YesNoCancel, MsgIcon::Question, "Question"), MsgAnswer::No);
  EXPECT_EQ(title, "Question");
  EXPECT_EQ(icon, QMessageBox::Question);

  // Closed without a button (Escape, or its window going away): the way out.
  AnswerModal([&](QWidget& dialog) {
    title = dialog.windowTitle();
    QTimer::singleShot(0, [&host] { host.CancelDialogs(); });
  });
  EXPECT_EQ(host.MsgBox("Search was Cancelled!.", MsgButtons::OkCancel, MsgIcon::Exclamation, ""),
            MsgAnswer::Cancel);
  EXPECT_EQ(title, "Zorvik") << "a box without a title shows the program's name";
  EXPECT_FALSE(host.DialogOpen());
}

// A chosen name, a new one too, comes back in the robot window's tests.
TEST(QtHostTest, FileDialogsShowTheFiltersAndGiveNothingWhenCancelled) {
  QtHost host;
  QStringList filters;
  AnswerModal([&](QWidget& dialog) {
    filters = dynamic_cast<QFileDialog&>(dialog).nameFilters();
    dynamic_cast<QDialog&>(dialog).reject();
  });
  EXPECT_FALSE(host.SaveFileDialog({"Save", "Text (*.txt)|*.txt", "", ::testing::TempDir()}).has_value());
  EXPECT_EQ(filters, QStringList{"Text (*.txt)"});
}

// A choice goes through the robot window's FFA picker in its test.
TEST(QtHostTest, PickersReportNoSelectionAndClosing) {
  QtHost host;
  const std::vector<std::string> items = {"none All Categories", "1001 Art", "1002 Business financial"};
  AnswerModal([](QWidget& dialog) { ClickButton(dialog, "Use"); });
  EXPECT_EQ(host.PickFromList("Search Options", items, "Use").outcome, ListPick::Outcome::NoSelection);

  AnswerModal([](QWidget& dialog) { dialog.close(); });
  EXPECT_EQ(host.PickFromList("Search Options", items, "Use").outcome, ListPick::Outcome::Closed);
}

TEST(QtHostTest, FolderChooserTakesTheFolderSelectedInItsTree) {
  QtHost host;
  const std::filesystem::path target = std::filesystem::path(::testing::TempDir()) / "collection";
  std::filesystem::create_directories(target);
  QString caption;
  AnswerModal([&](QWidget& dialog) {
    auto& chooser = dynamic_cast<savedirs&>(dialog);
    caption = chooser.windowTitle();
    chooser.SetDir1Path(QString::fromStdString(target.string()));
    ClickButton(chooser, "&Save");
  });
  const auto folder = host.ChooseFolder("Save to.....", "");
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(std::filesystem::path(*folder), target);
  EXPECT_EQ(caption, "Save to.....");

  AnswerModal([](QWidget& dialog) { dialog.close(); });
  EXPECT_FALSE(host.ChooseFolder("Save to.....", target.string()).has_value());
}

// A transfer that has work in flight until it has been pumped `left` times.
class PendingTransfer : public EventSource {
 public:
  bool Pump() override {
    ++pumps;
    if (left > 0) --left;
    return true;
  }
  bool Active() const override { return left > 0; }
  void WaitForActivity(std::chrono::milliseconds) override {}
  int left = 0, pumps = 0;
};

TEST(QtHostTest, QtsLoopDrivesTransfersWhileNothingYieldsAndAYieldRunsQtsEvents) {
  QtHost host;
  PendingTransfer transfer;
  host.AddEventSource(&transfer);
  transfer.left = 5;
  EXPECT_TRUE(testing::WaitUntil([&] { return !transfer.Active(); }, 5000));
  const int pumps = transfer.pumps;
  testing::WaitUntil([] { return false; }, 50);
  EXPECT_EQ(transfer.pumps, pumps) << "an idle transfer is left alone";
  host.RemoveEventSource(&transfer);

  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  for (int i = 0; i < 1000 && !ran; ++i) host.WaitEvents(std::chrono::milliseconds(5));
  EXPECT_TRUE(ran);
}

// The mail component in non-blocking mode reports an operation that ends at
// once (refused before any transfer) from a later pump: Qt's loop must
// still deliver it when nothing yields.
TEST(QtHostTest, QtsLoopDeliversTheMailComponentsQueuedEvents) {
  QtHost host;
  mail::mMail mail(host);
  ASSERT_FALSE(mail.Blocking());
  std::string error;
  bool done = false;
  mail.onAsyncError = [&](int, const std::string& text) { error = text; };
  mail.onDone = [&] { done = true; };
  mail.SetPopHost("127.0.0.1");
  ASSERT_TRUE(mail.SetAction(mail::mMail::kPopConnect).ok());  // no user name
  EXPECT_TRUE(testing::WaitUntil([&] { return !error.empty(); }, 2000));
  ASSERT_TRUE(mail.SetAction(mail::mMail::kClose).ok());  // no session: done at once
  EXPECT_TRUE(testing::WaitUntil([&] { return done; }, 2000));
}

}  // namespace
}  // namespace zorvik::app
