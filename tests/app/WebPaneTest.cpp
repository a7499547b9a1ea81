#include <gtest/gtest.h>

#include <filesystem>

#include "GuiTestSupport.h"
#include "app/browser/WebPane.h"
#include "support/TestFiles.h"

namespace zorvik::app {
namespace {

TEST(WebPaneTest, ShowsALocalPageAndReportsItsTitle) {
  const std::filesystem::path page = std::filesystem::path(::testing::TempDir()) / "pane.htm";
  zorvik::testing::WriteFile(page, "<html><head><title>Pane page</title></head><body>hello</body></html>");
  WebPane pane;
  pane.resize(400, 300);
  pane.show();
  bool done = false, ok = false;
  QUrl committed;
  QObject::connect(&pane, &BrowserPane::NavigateComplete, [&](const QUrl& url) { committed = url; });
  QObject::connect(&pane, &BrowserPane::DocumentComplete, [&](bool result) {
    done = true;
    ok = result;
  });
  pane.Navigate(PaneUrl(page.string()));
  ASSERT_TRUE(testing::WaitUntil([&] { return done; }, 60000));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(pane.Busy());
  EXPECT_EQ(committed, QUrl::fromLocalFile(QString::fromStdString(page.string())));
  EXPECT_TRUE(testing::WaitUntil([&] { return pane.LocationName() == "Pane page"; }));
}

}  // namespace
}  // namespace zorvik::app
