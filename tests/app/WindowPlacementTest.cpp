#include <gtest/gtest.h>

#include "app/shell/WindowPlacement.h"

namespace zorvik::app {
namespace {

TEST(WindowPlacementTest, CentredOnScreenAndOverTheMainWindow) {
  EXPECT_EQ(CentredOnScreen(QRect(0, 0, 1024, 768), QSize(400, 300)), QPoint(312, 234));
  EXPECT_EQ(CentredOnScreen(QRect(1920, 40, 1280, 1000), QSize(1281, 1001)), QPoint(1920, 40))
      << "a second screen's origin counts; an odd pixel rounds toward the origin";
  EXPECT_EQ(OverMainWindow(QRect(100, 50, 800, 600), QSize(300, 200)), QPoint(350, 170));
}

}  // namespace
}  // namespace zorvik::app
