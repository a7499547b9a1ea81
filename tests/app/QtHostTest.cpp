#include <gtest/gtest.h>

#include <QDialog>
#include <QFileDialog>
#include <QListWidget>
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

TEST(QtHostTest, MessageBoxesShowTheirTextAndReportTheButton) {
  QtHost host;
  QString text, title;
  QMessageBox::Icon icon{};
  AnswerModal([&](QWidget& dialog) {
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    text = box.text();
    title = box.windowTitle();
    icon = box.icon();
    ClickButton(box, "No");
  });
  EXPECT_EQ(host.MsgBox("Go on?", MsgButtons::YesNoCancel, MsgIcon::Question, "Question"), MsgAnswer::No);
  EXPECT_EQ(text, "Go on?");
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

TEST(QtHostTest, FileDialogsReturnTheChosenPathOrNothing) {
  QtHost host;
  const std::string dir = ::testing::TempDir();
  FileDialogSpec spec{"Open/Create New URL file", "Text (*.txt)|*.txt", "", dir};
  QString title;
  QStringList filters;
  AnswerModal([&](QWidget& dialog) {
    auto& files = dynamic_cast<QFileDialog&>(dialog);
    title = files.windowTitle();
    filters = files.nameFilters();
    testing::AcceptFile(files, QString::fromStdString(dir + "/new-run.txt"));
  });
  const auto chosen = host.OpenFileDialog(spec);
  ASSERT_TRUE(chosen.has_value()) << "a name that does not exist yet is taken: the file is created";
  EXPECT_EQ(std::filesystem::path(*chosen), std::filesystem::path(dir) / "new-run.txt");
  EXPECT_EQ(title, "Open/Create New URL file");
  EXPECT_EQ(filters, QStringList{"Text (*.txt)"});

  AnswerModal([](QWidget& dialog) { dynamic_cast<QDialog&>(dialog).reject(); });
  EXPECT_FALSE(host.SaveFileDialog(spec).has_value());
}

TEST(QtHostTest, PickersReportChoiceNoSelectionAndClosing) {
  QtHost host;
  const std::vector<std::string> items = {"none All Categories", "1001 Art", "1002 Business financial"};
  AnswerModal([&](QWidget& dialog) {
    testing::Find<QListWidget>(dialog, "List1")->setCurrentRow(1);
    ClickButton(dialog, "&Use");
  });
  ListPick pick = host.PickFromList("FFA Categories", items, "&Use");
  EXPECT_EQ(pick.outcome, ListPick::Outcome::Chosen);
  EXPECT_EQ(pick.text, "1001 Art");

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
  int left = 0;
  int pumps = 0;
};

TEST(QtHostTest, QtsLoopDrivesTransfersWhileNothingYields) {
  QtHost host;
  PendingTransfer transfer;
  host.AddEventSource(&transfer);
  transfer.left = 5;
  EXPECT_TRUE(testing::WaitUntil([&] { return !transfer.Active(); }, 5000));
  const int pumps = transfer.pumps;
  testing::WaitUntil([] { return false; }, 50);
  EXPECT_EQ(transfer.pumps, pumps) << "an idle transfer is left alone";
  host.RemoveEventSource(&transfer);
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

TEST(QtHostTest, AYieldRunsQtsPendingEvents) {
  QtHost host;
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  for (int i = 0; i < 1000 && !ran; ++i) host.WaitEvents(std::chrono::milliseconds(5));
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace zorvik::app
