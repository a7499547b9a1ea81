#include <gtest/gtest.h>

#include <string>

#include "core/SearchState.h"
#include "crawler/clsDiplomat.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

class DiplomatTest : public ::testing::Test {
 protected:
  testing::FakeHost host;
  SearchState state;
  clsDiplomat diplomat{host, state};
};

// The crawl asks only NewServerURL; Rejects and the line reader are never
// called (nothing fills the excluded list), so only Rejects' cgi rule is shown.
TEST_F(DiplomatTest, FreshDiplomatRejectsOnlyLowerCaseCgiAndComparesServers) {
  diplomat.Init("http://a.com", "page text");
  EXPECT_TRUE(diplomat.Rejects("http://a.com/cgi-bin/search"));
  EXPECT_TRUE(diplomat.Rejects("http://a.com/xcgi.htm"));
  EXPECT_FALSE(diplomat.Rejects("http://a.com/CGI-BIN/search"));
  EXPECT_FALSE(diplomat.Rejects("http://a.com/"));

  EXPECT_TRUE(diplomat.Server.empty());
  EXPECT_FALSE(diplomat.NewServerURL("http://a.com/x"));
  EXPECT_FALSE(diplomat.NewServerURL("http://elsewhere.org/"));
  EXPECT_TRUE(diplomat.NewServerURL(""));

  diplomat.Server = "http://a.com";
  EXPECT_FALSE(diplomat.NewServerURL("http://a.com/x"));
  EXPECT_TRUE(diplomat.NewServerURL("http://b.com/x"));
  EXPECT_TRUE(diplomat.NewServerURL("HTTP://A.COM/x"));  // exact comparison
}

}  // namespace
}  // namespace zorvik
