#include <gtest/gtest.h>

#include <string>

#include "crawler/RobotsTxt.h"

namespace zorvik {
namespace {

TEST(RobotsTxtTest, OwnGroupWinsOverEveryone) {
  const RobotsRules rules = RobotsRules::Parse(
      "# comment\r\n"
      "User-agent: *\r\n"
      "Disallow: /\r\n"
      "\r\n"
      "User-agent: otherbot\r\n"
      "User-agent: zorvik/1.0   # our token, any case, with a version\r\n"
      "Disallow: /private/\r\n"
      "Crawl-delay: 20\r\n");
  EXPECT_TRUE(rules.Allows("http://h/index.htm"));
  EXPECT_FALSE(rules.Allows("http://h/private/x.htm"));
  EXPECT_FALSE(rules.Allows("http://h/public/../private/x.htm"));
  EXPECT_TRUE(rules.Allows("http://h/privatex"));
  ASSERT_TRUE(rules.CrawlDelay());
  EXPECT_EQ(*rules.CrawlDelay(), 20.0);

  const RobotsRules everyone = RobotsRules::Parse("User-agent: *\nDisallow: /cgi-bin\nUser-agent: x\nDisallow: /\n");
  EXPECT_FALSE(everyone.Allows("http://h/cgi-bin/a"));
  EXPECT_TRUE(everyone.Allows("http://h/a"));
  EXPECT_FALSE(everyone.CrawlDelay());
  // A group for another robot only: nothing applies to us.
  EXPECT_TRUE(RobotsRules::Parse("User-agent: x\nDisallow: /\n").Allows("http://h/a"));
  // The robots file itself is always allowed.
  EXPECT_TRUE(RobotsRules::Parse("User-agent: *\nDisallow: /\n").Allows("http://h/robots.txt"));
}

TEST(RobotsTxtTest, LongestMatchDecidesAndAllowWinsTies) {
  const RobotsRules rules = RobotsRules::Parse(
      "User-agent: *\n"
      "Disallow: /shop\n"
      "Allow: /shop/open\n"
      "Disallow: /*.gif$\n"
      "Allow: /same\n"
      "Disallow: /same\n"
      "Disallow: /q?private\n"
      "Disallow:\n");
  EXPECT_FALSE(rules.Allows("http://h/shop/closed.htm"));
  EXPECT_TRUE(rules.Allows("http://h/shop/open/a.htm"));
  EXPECT_FALSE(rules.Allows("http://h/pics/a.gif"));
  EXPECT_TRUE(rules.Allows("http://h/pics/a.gif?x=1"));  // "$" anchors to the end
  EXPECT_TRUE(rules.Allows("http://h/same/x"));
  EXPECT_FALSE(rules.Allows("http://h/q?private=1"));
  EXPECT_TRUE(rules.Allows("http://h/q?public"));
  EXPECT_TRUE(rules.Allows("http://h/"));
  EXPECT_EQ(rules.RuleCount(), 6u);
}

TEST(RobotsTxtTest, PathsAndFileAddresses) {
  EXPECT_EQ(RobotsPathOf("http://h:8080/a/b.htm?x=1#top"), "/a/b.htm?x=1");
  EXPECT_EQ(RobotsPathOf("http://h"), "/");
  EXPECT_EQ(RobotsPathOf("http://h?q"), "/?q");
  // Dot segments are resolved as the request resolves them, so that a
  // detour does not lead round a rule.
  EXPECT_EQ(RobotsPathOf("http://h/engines/../private/p.htm"), "/private/p.htm");
  EXPECT_EQ(RobotsPathOf("http://h/a/./b/../../../c/.?x=/../y"), "/c/?x=/../y");
  EXPECT_EQ(RobotsPathOf("http://h/a/.."), "/");
  EXPECT_EQ(RobotsPathOf("http://h/a/..b/.c"), "/a/..b/.c");
  EXPECT_EQ(RobotsFileAddressFor("http://h:8080/a/b.htm"), "http://h:8080/robots.txt");
  EXPECT_EQ(RobotsFileAddressFor("http://h"), "http://h/robots.txt");
  EXPECT_EQ(RobotsFileAddressFor("page.htm"), "");
}

TEST(RobotsTxtTest, StarsAndAnchors) {
  const std::pair<const char*, const char*> matching[] = {
      {"/a*b*c$", "/axbyc"}, {"/*aab", "/xaaab"}, {"/*$", "/any"}, {"/a*", "/a"}, {"/**b*$", "/b"},
      {"/*ab*ab$", "/abab"}, {"/a$", "/a"}};
  const std::pair<const char*, const char*> failing[] = {
      {"/a*b*c$", "/axbycx"}, {"/a*b*c$", "/acb"}, {"/*ab*ab$", "/aba"}, {"/a$", "/ab"}, {"/b*", "/a"}};
  for (const auto& [pattern, path] : matching)
    EXPECT_FALSE(RobotsRules::Parse(std::string("User-agent: *\nDisallow: ") + pattern).Allows(path)) << pattern << path;
  for (const auto& [pattern, path] : failing)
    EXPECT_TRUE(RobotsRules::Parse(std::string("User-agent: *\nDisallow: ") + pattern).Allows(path)) << pattern << path;
}

TEST(RobotsTxtTest, GarbageAllowsEverythingAndStaysCheap) {
  EXPECT_TRUE(RobotsRules::Parse(std::string("\0\xff<html>not a robots file</html>", 30)).Allows("http://h/x"));
  EXPECT_FALSE(RobotsRules::Parse("User-agent: *\nCrawl-delay: soon\n").CrawlDelay());
  // A long pattern against a long path: every start of the path would match
  // almost the whole pattern before failing. Linear, this takes milliseconds.
  const RobotsRules rules = RobotsRules::Parse("User-agent: *\nDisallow: /*" + std::string(400'000, 'a') + "b\n");
  EXPECT_TRUE(rules.Allows("http://h/" + std::string(4'000'000, 'a')));
  EXPECT_FALSE(rules.Allows("http://h/" + std::string(400'000, 'a') + "b"));
}

}  // namespace
}  // namespace zorvik
