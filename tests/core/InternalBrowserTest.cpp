#include <gtest/gtest.h>

#include "core/InternalBrowser.h"

namespace zorvik {
namespace {

using List = std::vector<std::string>;

TEST(InternalBrowserTest, FirstPage) {
  InternalBrowser fresh("/prog/info.htm", "/prog/home.htm");
  EXPECT_EQ(fresh.FirstAddress(false, "/prog/run_searched.htm"), "/prog/info.htm");
  EXPECT_EQ(fresh.FirstAddress(true, "/prog/run_searched.htm"), "/prog/run_searched.htm");
  fresh.StartingAddress = "http://start.test/";
  EXPECT_EQ(fresh.FirstAddress(true, "/prog/run_searched.htm"), "http://start.test/");
  EXPECT_EQ(fresh.cboAddress, "http://start.test/");
  EXPECT_EQ(fresh.AddressList(), List{"http://start.test/"});
}

TEST(InternalBrowserTest, VisitedAddressesNewestFirstEachOnce) {
  InternalBrowser browser("info", "home");
  browser.NavigateComplete("A", "http://a.test/");
  browser.NavigateComplete("B", "http://b.test/");
  browser.NavigateComplete("C", "http://c.test/");
  EXPECT_EQ(browser.AddressList(), (List{"http://c.test/", "http://b.test/", "http://a.test/"}));
  browser.NavigateComplete("A again", "http://a.test/");
  EXPECT_EQ(browser.AddressList(), (List{"http://a.test/", "http://c.test/", "http://b.test/"}));
  EXPECT_EQ(browser.Caption, "A again");
  EXPECT_EQ(browser.cboAddress, "http://a.test/");

  EXPECT_TRUE(browser.TimerTick(true, "A"));
  EXPECT_EQ(browser.Caption, "Working...");
  EXPECT_FALSE(browser.TimerTick(false, "Page A"));
  EXPECT_EQ(browser.Caption, "Page A");
}

}  // namespace
}  // namespace zorvik
