// Rules of the crawl that need no server: quoted values, the joining of
// relative links, the depth box, the port in the address box, the diplomat.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/SearchState.h"
#include "crawler/AddressHelpers.h"
#include "crawler/LinkExtraction.h"
#include "crawler/clsDiplomat.h"
#include "engines/WebRobot.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

// Every value NextQuotedValue gives, with the position after each call.
std::vector<std::pair<std::string, std::size_t>> Values(std::string_view text, std::string_view attribute) {
  std::vector<std::pair<std::string, std::size_t>> out;
  std::size_t pos = 1;
  while (pos > 0 && out.size() < 20) {
    std::string v = NextQuotedValue(text, pos, attribute);
    out.emplace_back(std::move(v), pos);
  }
  return out;
}

class RobotRulesTest : public ::testing::Test {
 protected:
  testing::FakeHost host;
  SearchState state;
  WebRobot robot{host, state, ::testing::TempDir()};
  RobotForm& form = robot.Form();
};

TEST(CrawlRulesTest, OnlyDoubleQuotedValuesBeforeTheTagEnd) {
  using V = std::vector<std::pair<std::string, std::size_t>>;
  EXPECT_EQ(Values(R"(<a href="a.htm">)", "href"), (V{{"a.htm", 10}, {"", 0}}));
  EXPECT_EQ(Values(R"(<a href='a.htm'>x</a><b>)", "href"), (V{{"", 0}}));
  EXPECT_EQ(Values(R"(<a href=a.htm>)", "href"), (V{{"", 0}}));
  // Empty quotes give nothing, and the scan goes on after the tag.
  EXPECT_EQ(Values(R"(<a href="">x<a href="b">)", "href"), (V{{"", 11}, {"b", 22}, {"", 0}}));
  // A quote beyond the tag's end is not a value of this tag.
  EXPECT_EQ(Values(R"(<a href=x>"y")", "href"), (V{{"", 10}, {"", 0}}));
  // No ">" at all: nothing, and the scan ends.
  EXPECT_EQ(Values(R"(<img src="p.gif")", "src"), (V{{"", 0}}));
  EXPECT_EQ(Values("", "href"), (V{{"", 0}}));
}

TEST_F(RobotRulesTest, LinksJoinByPlainConcatenation) {
  LinkExtractor& links = robot.Links();
  const std::string server = "http://s.com";
  const std::string dir = "http://s.com/d/";
  EXPECT_EQ(links.Resolve("q.htm", server, dir), "http://s.com/d/q.htm");
  EXPECT_EQ(links.Resolve("/r.htm", server, dir), "http://s.com/r.htm");
  EXPECT_EQ(links.Resolve("../up.htm?x=1#f", server, dir), "http://s.com/d/../up.htm?x=1#f");
  EXPECT_EQ(links.Resolve("http://o.com:81/x#f", server, dir), "http://o.com:81/x#f");
  EXPECT_EQ(links.Resolve("mailto:a@b.com", server, dir), "");
  EXPECT_EQ(links.Resolve("ftp://o.com/", server, dir), "");
  EXPECT_EQ(links.Resolve("https://o.com/", server, dir), "");
  EXPECT_EQ(links.Resolve("HTTP://o.com/", server, dir), "");  // the scheme is compared exactly
  // A value broken over lines, or with any other control character, is none.
  EXPECT_EQ(links.Resolve("q\r\n.htm", server, dir), "");
  EXPECT_EQ(links.Resolve("http://o.com/\tx", server, dir), "");
  robot.Options().followHttps = true;
  EXPECT_EQ(links.Resolve("https://o.com/", server, dir), "https://o.com/");
  // A server-only page address: no "/" between it and a relative value.
  EXPECT_EQ(links.Resolve("q.htm", "http://s.com", "http://s.com"), "http://s.comq.htm");
}

TEST_F(RobotRulesTest, DepthBoxAndItsButtons) {
  struct Case {
    const char* text;
    int depth;  // 0: refused
  };
  for (const Case c : {Case{"2", 2}, Case{" 7 ", 7}, Case{"2.5", 2}, Case{"3.5", 4}, Case{"2.6", 3},
                       Case{"1e2", 100}, Case{"0", 0}, Case{"-2", 0}, Case{"0.4", 0}, Case{"abc", 0},
                       Case{"", 0}, Case{"2x", 0}, Case{"40000", 0}, Case{"32767", 32767}, Case{".5e", 0}}) {
    form.txtSearchDepth = c.text;
    host.messages.clear();
    EXPECT_EQ(robot.Crawl().ValidateSearchDepth().value_or(0), c.depth) << c.text;
    EXPECT_EQ(host.messages.size(), c.depth == 0 ? 1u : 0u) << c.text;
  }
  // The buttons stay within 1 ... 999 and leave a box that is no number.
  for (const auto& [before, up, after] : std::vector<std::tuple<std::string, bool, std::string>>{
           {"999", true, "999"}, {"999", false, "998"}, {"1", false, "1"}, {"1", true, "2"}, {"x", true, "x"}}) {
    form.txtSearchDepth = before;
    up ? robot.udSearchDepth_UpClick() : robot.udSearchDepth_DownClick();
    EXPECT_EQ(form.txtSearchDepth, after) << before << (up ? " up" : " down");
  }
}

TEST(CrawlRulesTest, OnlyAWholePort80LeavesTheAddress) {
  EXPECT_EQ(WithoutPort80("http://h:80/x.htm"), "http://h/x.htm");
  EXPECT_EQ(WithoutPort80("http://h:80"), "http://h");
  EXPECT_EQ(WithoutPort80("http://h:8080/x.htm"), "http://h:8080/x.htm");
  EXPECT_EQ(WithoutPort80("http://h:180/x"), "http://h:180/x");
  EXPECT_EQ(WithoutPort80("http://h/x:80"), "http://h/x:80");
}

// Nothing sets a diplomat's server: the crawl keeps its first diplomat.
TEST(CrawlRulesTest, DiplomatSeesANewServerOnlyWhereItsOwnIsAbsent) {
  clsDiplomat diplomat;
  EXPECT_FALSE(diplomat.NewServerURL("http://elsewhere.org/"));
  EXPECT_TRUE(diplomat.NewServerURL(""));
  diplomat.Server = "http://a.com";
  EXPECT_FALSE(diplomat.NewServerURL("http://a.com/x"));
  EXPECT_TRUE(diplomat.NewServerURL("HTTP://A.COM/x"));  // exact comparison
}

TEST_F(RobotRulesTest, StopButtonAndFolderChooser) {
  robot.Tree().Root()->AddLink(clsHTMLPageResourceNode::Create("http://a/", "http://a/"));
  form.btnStopEnabled = form.mnuStopSearchEnabled = form.tmrBusyEnabled = true;
  form.btnSearchEnabled = false;
  host.pointer = MousePointer::Hourglass;
  robot.tbToolbar_ButtonClick("btnStop");
  EXPECT_TRUE(robot.Context().FetchAborted);
  EXPECT_TRUE(state.StopPressed);
  EXPECT_EQ(state.StopRequested, 1);
  EXPECT_FALSE(form.btnStopEnabled || form.mnuStopSearchEnabled || form.tmrBusyEnabled);
  EXPECT_TRUE(form.btnSearchEnabled);
  EXPECT_EQ(robot.Tree().Root()->Links().Count(), 0u);
  EXPECT_EQ(host.pointer, MousePointer::Default);

  host.dialogAnswers = {std::string("/data/pics"), std::nullopt};
  EXPECT_TRUE(robot.savedirs());
  EXPECT_EQ(robot.Context().collectionFolder, "/data/pics/");
  EXPECT_EQ(host.dialogs.back().title, "Save to.....");
  EXPECT_FALSE(robot.savedirs());  // closed: unchanged
  EXPECT_EQ(robot.Context().collectionFolder, "/data/pics/");
}

}  // namespace
}  // namespace zorvik
