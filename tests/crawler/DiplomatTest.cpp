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

TEST_F(DiplomatTest, LineReaderTakesOneLineAtATime) {
  std::string text = "ab\r\nUser-agent: *\nDisallow: /cgi\n";
  const auto yields = host.YieldCount();
  EXPECT_EQ(diplomat.ReadLine(text), "ab");
  EXPECT_EQ(text, "User-agent: *\nDisallow: /cgi\n");
  EXPECT_GT(host.YieldCount(), yields);
  EXPECT_EQ(diplomat.ReadLine(text), "User-agent: *");
  EXPECT_EQ(diplomat.ReadLine(text), "Disallow: /cgi");
  EXPECT_EQ(text, "");
  EXPECT_EQ(diplomat.ReadLine(text), "");

  text = "no line feed\r";
  EXPECT_EQ(diplomat.ReadLine(text), "no line feed\r");
  EXPECT_EQ(text, "");

  // One character is always kept, even a control character.
  text = "\r\r\nnext";
  EXPECT_EQ(diplomat.ReadLine(text), "\r");
  EXPECT_EQ(text, "next");

  // A stop while trimming leaves the text alone.
  state.StopRequested = 1;
  text = "ab\r\nrest";
  EXPECT_EQ(diplomat.ReadLine(text), "");
  EXPECT_EQ(text, "ab\r\nrest");
  // Nothing to trim: the stop is not looked at.
  text = "ab\nrest";
  EXPECT_EQ(diplomat.ReadLine(text), "ab");
  EXPECT_EQ(text, "rest");
}

}  // namespace
}  // namespace zorvik
