// The robot window's wiring: commands reach the model, the model's values
// reach the widgets, and the window can go away while a search runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "GuiTestSupport.h"
#include "app/browser/BrowserPane.h"
#include "app/browser/frmBrowser1.h"
#include "app/robot/frmWebRobot.h"
#include "core/ProgramDirectory.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "crawler/CrawlSite.h"
#include "engines/WebRobot.h"
#include "support/TestFiles.h"

namespace zorvik::app {
namespace {

namespace fs = std::filesystem;
using testing::AnswerModal;
using testing::WaitUntil;

class RobotWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = new testing::RecordingHost;
    window = new frmWebRobot(state, dir, std::unique_ptr<QtHost>(host));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Robot().Options().politeness = std::chrono::seconds(0);
    window->show();
    site.Start();
  }
  void TearDown() override {
    if (window) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  template <class T>
  T* Find(const char* name) { return testing::Find<T>(*window, name); }
  QString Panel(int n) { return Find<QLabel>(qPrintable(QString("sbHTTPStatusPanel%1").arg(n)))->text(); }
  void ClickToolbar(const char* action) {
    QTest::mouseClick(Find<QToolBar>("tbToolbar")->widgetForAction(Find<QAction>(action)), Qt::LeftButton);
  }
  // Types a search of the site and starts it from the toolbar.
  void StartSearch(const char* depth) {
    QTest::keyClicks(Find<QLineEdit>("txtURL"), QString::fromStdString(site.Url("/index.htm")));
    QTest::keyClicks(Find<QLineEdit>("txtSearchString"), "robots");
    Find<QLineEdit>("txtSearchDepth")->clear();
    QTest::keyClicks(Find<QLineEdit>("txtSearchDepth"), depth);
    AnswerModal([this](QWidget& dialog) { testing::AcceptFile(dialog, QString::fromStdString((dir / "run.txt").string())); });
    ClickToolbar("btnSearch");
  }

  // Which of the controls a search turns on or off are enabled.
  QString Enabled() {
    QStringList on;
    for (const char* name : {"btnSearch", "btnStop", "mnuPerformSearch", "mnuStopSearch"}) {
      if (Find<QAction>(name)->isEnabled()) on << name;
    }
    if (Find<QLineEdit>("txtURL")->isEnabled()) on << "txtURL";
    return on.join(' ');
  }
  // Runs a search that stalls on a page and does `act` once while the page
  // is awaited; true when it was done.
  bool SearchStallingWhile(const std::function<void()>& act) {
    site.StallFrom("/c.htm", 1);
    bool done = false;
    QObject context;
    QObject::connect(&window->Host(), &QtHost::Pumped, &context, [&] {
      if (done || std::ranges::count(site.Requests(), std::string("/c.htm")) == 0) return;
      done = true;
      act();
    });
    StartSearch("3");
    site.Release();
    return done;
  }

  SearchState state;
  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  testing::RecordingHost* host = nullptr;
  QPointer<frmWebRobot> window;
  testing::CrawlSite site;
};

TEST_F(RobotWindowTest, ASearchTypedIntoTheWindowRunsToFinishedAndShowsWhatItFound) {
  // The first look from inside the crawl: the running state is on screen.
  QString running = "never running";
  QMetaObject::Connection probe = QObject::connect(&window->Host(), &QtHost::Pumped, [&] {
    if (running != "never running" || !window->Robot().State().Busy) return;
    window->SyncNow();
    running = Enabled();
  });
  testing::MessageBoxAnswerer boxes;
  StartSearch("2");
  QObject::disconnect(probe);
  EXPECT_EQ(running, "btnStop mnuStopSearch");
  EXPECT_EQ(Enabled(), "btnSearch mnuPerformSearch txtURL");

  const RobotForm& form = window->Robot().Form();
  EXPECT_EQ(Panel(1), "Finished..... ");
  EXPECT_EQ(Panel(3).toStdString(), "# Found: " + std::to_string(form.FoundCount));
  EXPECT_GT(form.FoundCount, 0);
  auto* tree = Find<QTreeWidget>("tvURLTreeView");
  int items = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) ++items;
  EXPECT_EQ(static_cast<std::size_t>(items), window->Robot().Tree().View().Count());
  EXPECT_GE(items, 5);
  auto* list = Find<QListWidget>("List1");
  ASSERT_FALSE(form.List1.empty());
  ASSERT_EQ(list->count(), static_cast<int>(form.List1.size()));
  EXPECT_EQ(list->item(0)->text().toStdString(), form.List1.front());
  EXPECT_EQ(Find<QPlainTextEdit>("txtOutput")->toPlainText().toStdString().substr(0, 20), form.txtOutput.substr(0, 20));

  // The report in the pane.
  Find<QAction>("mnuSearchUrl")->trigger();
  EXPECT_EQ(window->Pane()->LocationURL(), QUrl::fromLocalFile(QString::fromStdString((dir / "run_searched.htm").string())));

  // "New Search" reaches the model.
  Find<QAction>("mnuNew")->trigger();
  EXPECT_EQ(form.FoundCount, 0);
}

TEST_F(RobotWindowTest, StopInTheMiddleEndsTheSearch) {
  testing::MessageBoxAnswerer boxes;
  ASSERT_TRUE(SearchStallingWhile([this] { ClickToolbar("btnStop"); }));
  EXPECT_TRUE(boxes.Texts().contains("Search was Cancelled!."));
  EXPECT_EQ(Panel(1), "Finished..... ");
}

TEST_F(RobotWindowTest, ClosingTheWindowInTheMiddleStopsTheSearchFirst) {
  ASSERT_TRUE(SearchStallingWhile([this] { window->close(); }));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull()) << "the window went once the search had unwound";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no question was left on screen";
}

TEST_F(RobotWindowTest, BookmarksAddEditAndRebuild) {
  const fs::path file = dir / "bookmark.txt";
  QTest::keyClicks(Find<QLineEdit>("txtURL"), "http://a.test/");
  Find<QAction>("mnuAddBookmark")->trigger();
  Find<QLineEdit>("txtURL")->clear();
  QTest::keyClicks(Find<QLineEdit>("txtURL"), "http://b&c.test/");
  Find<QAction>("mnuAddBookmark")->trigger();
  EXPECT_EQ(testing::ReadFile(file), "http://a.test/\r\nhttp://b&c.test/\r\n");
  EXPECT_EQ(Find<QAction>("mnuMy1_2")->text(), "http://b&&c.test/");
  Find<QAction>("mnuMy1_1")->trigger();
  EXPECT_EQ(Find<QLineEdit>("txtURL")->text(), "http://a.test/");

  // "Ok" without a change leaves the file as it was, byte for byte.
  testing::WriteFile(file, "http://a.test/\r\nhttp://b.test/");
  QString shown;
  AnswerModal([&](QWidget& editor) {
    shown = testing::Find<QPlainTextEdit>(editor, "text1")->toPlainText();
    testing::ClickButton(editor, "Ok");
  });
  Find<QAction>("mnuEditBmk")->trigger();
  EXPECT_EQ(shown, "http://a.test/\nhttp://b.test/");
  EXPECT_EQ(testing::ReadFile(file), "http://a.test/\r\nhttp://b.test/");

  // An edit is written and the menu rebuilt from the file.
  AnswerModal([](QWidget& editor) {
    auto* text = testing::Find<QPlainTextEdit>(editor, "text1");
    text->moveCursor(QTextCursor::End);
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClicks(text, "http://c.test/");
    testing::ClickButton(editor, "Ok");
  });
  Find<QAction>("mnuEditBmk")->trigger();
  EXPECT_EQ(testing::ReadFile(file), "http://a.test/\r\nhttp://b.test/\r\nhttp://c.test/\r\n");
  EXPECT_EQ(Find<QAction>("mnuMy1_3")->text(), "http://c.test/");
}

TEST_F(RobotWindowTest, TheDividerStaysWithinItsLimits) {
  window->resize(900, 600);
  QSplitterHandle* handle = Find<QSplitter>("pbDivider")->handle(1);
  const auto drag = [&](int toX) {
    // Held by its left edge, which follows the pointer.
    const QPoint grip(0, handle->height() / 2);
    const auto to = [&] { return handle->mapFromGlobal(window->mapToGlobal(QPoint(toX, grip.y()))); };
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, to());
    QTest::mouseRelease(handle, Qt::LeftButton, {}, to());
    return handle->mapTo(window, QPoint(0, 0)).x();
  };
  EXPECT_EQ(drag(-50), 200 / 15) << "the left limit";
  const int inner = window->width();
  EXPECT_EQ(drag(inner + 50), inner - 260 / 15) << "the right limit";
  EXPECT_EQ(drag(300), 300);
}

TEST_F(RobotWindowTest, InternalBrowserShowsTheInfoPageAndHandsAnAddressToTheRobot) {
  ReportReadyMark() = 0;  // no report written yet in this run
  Find<QAction>("mnuInternalBrowser")->trigger();
  frmBrowser1* browser = window->InternalBrowser();
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->isVisible());
  EXPECT_EQ(browser->Pane()->LocationURL(),
            QUrl::fromLocalFile(QString::fromStdString((ExecutableDirectory() / "info.htm").string())));
  // An address entered is visited and listed; one only typed goes to the robot.
  auto* list = testing::Find<QComboBox>(*browser, "cboAddress");
  ASSERT_TRUE(WaitUntil([&] { return list->count() == 1; })) << "the info page listed";
  QLineEdit* address = list->lineEdit();
  address->clear();
  QTest::keyClicks(address, "http://a.test/");
  QTest::keyClick(address, Qt::Key_Return);
  EXPECT_TRUE(WaitUntil([&] { return list->count() == 2 && list->itemText(0) == "http://a.test/"; }));
  address->clear();
  QTest::keyClicks(address, "http://typed.test/");
  testing::ClickButton(*browser, "Use in Dorvane's Spider");
  EXPECT_EQ(Find<QLineEdit>("txtURL")->text(), "http://typed.test/");
  EXPECT_EQ(window->Robot().Form().txtURL, "http://typed.test/");
  EXPECT_FALSE(browser->isVisible());
}

TEST_F(RobotWindowTest, PickerAndDesktopCommands) {
  // Choosing "FFA Links" asks for a category through the real picker.
  AnswerModal([](QWidget& picker) {
    EXPECT_EQ(picker.objectName(), "FFANum");
    testing::Find<QListWidget>(picker, "List1")->setCurrentRow(3);
    testing::ClickButton(picker, "&Use");
  });
  auto* combo = Find<QComboBox>("Combo1");
  combo->setFocus();
  const int ffa = combo->findText("FFA Links");
  ASSERT_GT(ffa, 0);
  while (combo->currentIndex() < ffa) QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(window->Robot().Form().Combo1, "FFA Links");
  EXPECT_EQ(state.FfaCategoryNumber, "1003");

  Find<QAction>("mnuInfo")->trigger();
  Find<QAction>("mnuViewLinks")->trigger();
  Find<QAction>("MnuStartNew")->trigger();
  ASSERT_EQ(host->opened.size(), 2u);
  EXPECT_EQ(fs::path(host->opened[0]), ExecutableDirectory() / "info.htm") << "the shipped page";
  EXPECT_EQ(fs::path(host->opened[1]), dir / "links.htm");
  ASSERT_EQ(host->started.size(), 1u);
  EXPECT_EQ(QString::fromStdString(host->started[0]), QCoreApplication::applicationFilePath());
}

}  // namespace
}  // namespace zorvik::app
