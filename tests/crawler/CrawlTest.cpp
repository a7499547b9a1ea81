// The crawl against a small local site, with a fake clock: the requests the
// site sees, the tree, and every file the crawl writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CrawlSite.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "engines/WebRobot.h"
#include "support/TestFiles.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

class CrawlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "saved");
    site.Start();
    InetSettings settings;
    settings.connectTimeout = std::chrono::seconds(2);
    robot = std::make_unique<WebRobot>(host, state, dir, settings);
    RobotForm& form = robot->Form();
    form.txtSearchString = "robot";
    state.UrlFilePath = (dir / "run.txt").string();
    state.ResultBaseName = "run";
    robot->Context().collectionFolder = (dir / "saved").string() + "/";
  }
  void TearDown() override {
    site.Release();
    robot.reset();
  }

  // The tree view as the window shows it, with "B" for the site's address.
  std::string TreeLines() const {
    std::string out = robot->Tree().View().Outline();
    const std::string base = site.Base();
    for (auto at = out.find(base); at != std::string::npos; at = out.find(base, at + 1)) out.replace(at, base.size(), "B");
    return out;
  }
  std::vector<std::string> Requests() const { return site.Requests(); }
  void Crawl(const std::string& path, std::int16_t depth) { robot->Crawl().StartCrawl(site.Url(path), depth); }
  std::size_t Requested(const std::string& path) const {
    const auto r = Requests();
    return static_cast<std::size_t>(std::count(r.begin(), r.end(), path));
  }

  testing::FakeHost host;
  SearchState state;
  testing::CrawlSite site;
  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  std::unique_ptr<WebRobot> robot;
};

// The tree of a crawl of the site from its start page, three levels deep.
const std::string kThreeLevels =
    "6 WWW\n"
    "  3 B/index.htm\n"
    "    5 B/pic.gif (pic.gif)\n"
    "    1 B/a.htm (a.htm)\n"
    "    4 B/dir/b.htm (/dir/b.htm)\n"
    "      1 B/dir/sub.htm (sub.htm)\n"
    "    3 B/c.htm\n"
    "    2 B/missing.htm (missing.htm)\n";

TEST_F(CrawlTest, ThreeLevelsOfTheSite) {
  RobotForm& form = robot->Form();
  form.chkSave = form.chkPix = form.chkEmail = form.chkExtEmail = form.chkLinks = true;
  // Between a probe's two reads the window is only repainted, the loop not run.
  bool pumpedBetweenReads = false;
  host.onPump = [&] {
    if (form.txtURL == site.Url("/c.htm") && !robot->Inet1().StillExecuting() && Requested("/c.htm") == 1)
      pumpedBetweenReads = true;
  };
  const auto started = host.clock;
  Crawl("/index.htm", 3);
  EXPECT_FALSE(pumpedBetweenReads);
  // Five descents, each more than 15 seconds after the fetch before it.
  EXPECT_GE(host.clock - started, std::chrono::seconds(5 * 16));

  // Each link is read twice before it is sorted (duplicates too); the
  // excluded, single-quoted, mailto, https and broken links never are.
  const std::vector<std::string> expected = {
      "/robots.txt", "/index.htm",                                    // the start page
      "/a.htm", "/a.htm", "/dir/b.htm", "/dir/b.htm", "/c.htm", "/c.htm",  // href probes
      "/missing.htm", "/missing.htm", "/a.htm", "/a.htm",
      "/pic.gif", "/pic.gif",                                         // src probe
      "/a.htm",                                                       // level 2
      "/dir/b.htm", "/dir/sub.htm", "/dir/sub.htm", "/dir/sub.htm",   // b, its probe, level 3
      "/c.htm", "/missing.htm"};
  EXPECT_EQ(Requests(), expected);
  EXPECT_EQ(TreeLines(), kThreeLevels);

  // Matching pages as they completed (a.htm: two reads as a link, its own
  // fetch). The 404 page holds the word too but is no page: not recorded.
  const std::string a = site.Url("/a.htm");
  const std::string sub = site.Url("/dir/sub.htm");
  const std::string aRecord = a + "\r\nRobots at work\r\ninfo@robots.example\r\n";
  const std::string subRecord = sub + "\r\nSub\r\n\r\n";
  EXPECT_EQ(ReadFile(dir / "run.txt"), aRecord + aRecord + aRecord + subRecord + subRecord);
  EXPECT_EQ(form.List1, (std::vector<std::string>{"owner@example.com", a, a, a, sub, sub}));
  EXPECT_EQ(form.FoundCount, 6);
  EXPECT_EQ(form.SearchedCount, 10);
  EXPECT_NE(ReadFile(dir / "links.htm").find("<a href=\"" + site.Url("/c.htm") + "\">"), std::string::npos);
  const std::string searched = ReadFile(dir / "run_searched.htm");
  EXPECT_EQ(std::count(searched.begin(), searched.end(), '\n'), 6 + 5 * 5 + 2);
  EXPECT_EQ(form.BrowserLocation, (dir / "run_searched.htm").string());

  EXPECT_EQ(ReadFile(dir / "saved" / "a.htm").substr(0, 19), "<html><head><TITLE>");
  EXPECT_NE(ReadFile(dir / "saved" / "sub.htm").find("a robot lives here"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "saved" / "pic.gif"), std::string("GIF89a\x01\x00\x01\x00\x00\xff\x00,", 13));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "saved"), fs::directory_iterator()), 3);

  const auto& panel1 = host.statusHistory[1];
  EXPECT_NE(std::find(panel1.begin(), panel1.end(), "HTTP/1.1 404 Not Found"), panel1.end());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(CrawlTest, FetchEachPageOnce) {
  robot->Options().fetchOnce = true;
  RobotForm& form = robot->Form();
  form.chkPix = true;
  Crawl("/index.htm", 3);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"/robots.txt", "/index.htm", "/a.htm", "/dir/b.htm", "/c.htm",
                                                  "/missing.htm", "/pic.gif", "/dir/sub.htm"}));
  EXPECT_EQ(robot->Crawl().PagesFetched(), 1u);
  EXPECT_EQ(TreeLines(), kThreeLevels);
  EXPECT_EQ(ReadFile(dir / "run.txt"),
            site.Url("/a.htm") + "\r\nRobots at work\r\n\r\n" + site.Url("/dir/sub.htm") + "\r\nSub\r\n\r\n");
  EXPECT_EQ(form.SearchedCount, 5);
  EXPECT_EQ(ReadFile(dir / "saved" / "pic.gif").size(), 13u);
}

TEST_F(CrawlTest, WithoutACollectionFolderPagesNeverReplaceTheProgramsFiles) {
  // With no folder chosen, pages go into "collection" in the program directory.
  robot->Context().collectionFolder.clear();
  testing::WriteFile(dir / "engines.ini", "Combo1/Lycos = http://127.0.0.1:1\n");
  site.Set("/engines.ini", {"text/plain", "Combo1/Lycos = http://robot.invalid/"});
  site.Set("/run.txt", {"text/plain", "no record of a robot"});
  site.Set("/index.htm", {"text/html", R"(<a href="engines.ini">e</a><a href="run.txt">r</a><img src="pic.gif">)"});
  robot->Form().chkSave = robot->Form().chkPix = true;
  Crawl("/index.htm", 2);
  EXPECT_EQ(ReadFile(dir / "engines.ini"), "Combo1/Lycos = http://127.0.0.1:1\n");
  const std::string records = site.Url("/engines.ini") + "\r\n\r\n\r\n" + site.Url("/run.txt") + "\r\n\r\n\r\n";
  EXPECT_EQ(ReadFile(dir / "run.txt"), records + records);
  EXPECT_EQ(ReadFile(dir / "collection" / "engines.ini"), "Combo1/Lycos = http://robot.invalid/");
  EXPECT_EQ(ReadFile(dir / "collection" / "run.txt"), "no record of a robot");
  EXPECT_EQ(ReadFile(dir / "collection" / "pic.gif").size(), 13u);
}

TEST_F(CrawlTest, AFailedWriteIsToldOnceAndTheUserSaysWhetherTheSearchGoesOn) {
  // Every record meets a full disk; the user lets the search go on (the
  // crawl command's test checks the stop at "Yes").
  state.UrlFilePath = "/dev/full";
  host.msgAnswers = {MsgAnswer::No};
  Crawl("/index.htm", 3);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Could not write \"/dev/full\": No space left on device. Stop the search?");
  EXPECT_EQ(host.messages[0].title, "Write Error");
  EXPECT_EQ(host.messages[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(Requests().size(), 21u);
  EXPECT_EQ(robot->Context().writeFailures.Count(), 5u);
}

TEST_F(CrawlTest, SavedFilesAndReportsThatCannotBeWrittenAreToldToo) {
  // Folders in the way of the report and address file; a collection folder gone.
  fs::create_directory(dir / "run_searched.htm");
  fs::create_directory(dir / "run_mailfile.txt");
  RobotForm& form = robot->Form();
  const struct {
    bool RobotForm::*tick;
    fs::path file;
  } cases[] = {{nullptr, dir / "run_searched.htm"},
               {&RobotForm::chkExtEmail, dir / "run_mailfile.txt"},
               {&RobotForm::chkSave, dir / "gone" / "a.htm"},
               {&RobotForm::chkPix, dir / "gone" / "pic.gif"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    robot->mnuNew_Click();
    form.chkExtEmail = form.chkSave = form.chkPix = false;
    if (c.tick) form.*c.tick = true;
    robot->Context().collectionFolder = (dir / "gone").string() + "/";
    if (c.tick) fs::remove(dir / "run_searched.htm");
    host.messages.clear();
    host.msgAnswers = {MsgAnswer::Yes};
    robot->Context().writeFailures.NewSearch();
    state.StopRequested = 0;  // as a new search does
    state.StopPressed = false;
    Crawl("/index.htm", 2);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].title, "Write Error");
    EXPECT_TRUE(host.messages[0].text.starts_with("Could not write \"" + c.file.string() + "\": "))
        << host.messages[0].text;
  }
}

TEST_F(CrawlTest, StayWithinDomainFetchesOnlyTheStart) {
  robot->Form().chkStay = true;
  Crawl("/index.htm", 3);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"/robots.txt", "/index.htm"}));
  // Recorded when it matches, but the tree only gets its node, no entry.
  Crawl("/a.htm", 3);
  EXPECT_EQ(TreeLines(), "6 WWW\n");
  EXPECT_EQ(robot->Form().List1, (std::vector<std::string>{site.Url("/a.htm")}));
  EXPECT_EQ(robot->Tree().Root()->Links().Count(), 2u);
}

TEST_F(CrawlTest, StopTwoLevelsDownUnwindsEveryLevel) {
  // Stop is pressed during the crawl's own fetch of sub.htm (its third request).
  site.StallFrom("/dir/sub.htm", 3);
  host.onPump = [&] {
    if (Requested("/dir/sub.htm") == 3 && !state.StopWanted()) robot->mnuStopSearch_Click();
  };
  Crawl("/index.htm", 3);
  // sub.htm failed (image 2); the levels above left their loops (c.htm and
  // missing.htm never fetched), and two said so.
  EXPECT_EQ(TreeLines(), "6 WWW\n  3 B/index.htm\n    5 B/pic.gif (pic.gif)\n    1 B/a.htm (a.htm)\n"
                         "    4 B/dir/b.htm (/dir/b.htm)\n      2 B/dir/sub.htm (sub.htm)\n");
  EXPECT_EQ(Requested("/c.htm"), 2u);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].text, "Search was Cancelled!.");
  EXPECT_EQ(host.messages[1].title, "");
  EXPECT_EQ(host.messages[1].icon, MsgIcon::Exclamation);
  EXPECT_EQ(host.Status(1), "Search Cancelled");
}

TEST_F(CrawlTest, StopDuringAProbesFirstReadStartsNoSecond) {
  site.StallFrom("/a.htm", 1);
  host.onPump = [&] {
    if (Requested("/a.htm") == 1 && !state.StopWanted()) robot->mnuStopSearch_Click();
  };
  Crawl("/index.htm", 2);
  host.onPump = nullptr;
  EXPECT_FALSE(robot->Inet1().StillExecuting());
  // Nothing of the stopped search arrives in the next one.
  site.Release();
  state.StopRequested = 0;
  Crawl("/c.htm", 1);
  EXPECT_EQ(Requested("/a.htm"), 1u);
  EXPECT_EQ(robot->Form().SearchedCount, 2);  // index.htm and c.htm
  EXPECT_FALSE(fs::exists(dir / "run.txt"));
}

TEST_F(CrawlTest, ADownloadEndingDuringAFetchLeavesThePageAPage) {
  // a.htm's fetch is held until a picture download started meanwhile has ended.
  site.Set("/p.jpg", {"image/jpeg", "JPEG"});
  site.StallFrom("/a.htm", 1);
  bool scanned = false;
  host.onPump = [&] {
    if (!scanned && Requested("/a.htm") == 1) {
      scanned = true;
      robot->Pictures().ScanPictures("<img src=\"" + site.Url("/p.jpg") + "\">");
    }
    if (!robot->Pictures().Stored().empty()) site.Release();
  };
  Crawl("/a.htm", 1);
  EXPECT_EQ(robot->Pictures().Stored().size(), 1u);
  EXPECT_EQ(TreeLines(), "6 WWW\n  1 B/a.htm\n");
  EXPECT_EQ(ReadFile(dir / "run.txt"), site.Url("/a.htm") + "\r\nRobots at work\r\n\r\n");
}

TEST_F(CrawlTest, RobotsFileThatDoesNotComeAllowsEverythingAndStopEndsItsRead) {
  site.StallFrom("/robots.txt", 1);
  host.tick = std::chrono::milliseconds(500);
  auto started = host.clock;
  Crawl("/c.htm", 1);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"/robots.txt", "/c.htm"}));
  EXPECT_GE(host.clock - started, RobotsGate::kReadTimeLimit);
  EXPECT_LT(host.clock - started, std::chrono::seconds(40));
  // Stop ends such a read at once; nothing is fetched after it.
  site.ClearRequests();
  host.onPump = [&] {
    if (!Requests().empty() && !state.StopWanted()) robot->mnuStopSearch_Click();
  };
  started = host.clock;
  Crawl("/c.htm", 1);
  EXPECT_EQ(Requests(), std::vector<std::string>{"/robots.txt"});
  EXPECT_LT(host.clock - started, RobotsGate::kReadTimeLimit);
}

TEST_F(CrawlTest, RobotsFileDecidesUnlessSwitchedOff) {
  site.Set("/robots.txt", {"text/plain", "User-agent: Zorvik\nDisallow: /dir/\n\nUser-agent: *\nDisallow: /\n"});
  Crawl("/dir/b.htm", 2);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"/robots.txt"}));
  EXPECT_EQ(TreeLines(), "6 WWW\n  2 B/dir/b.htm\n");
  EXPECT_EQ(host.Status(1), "Excluded by robots.txt");

  robot->mnuNew_Click();
  site.ClearRequests();
  robot->Options().obeyRobotsTxt = false;
  Crawl("/index.htm", 2);
  EXPECT_EQ(Requested("/robots.txt"), 0u);
  EXPECT_EQ(Requested("/private/p.htm"), 3u);

  // A Crawl-delay above two minutes is cut to two minutes, said once.
  robot->mnuNew_Click();
  robot->Options().obeyRobotsTxt = true;
  site.Set("/robots.txt", {"text/plain", "User-agent: *\nCrawl-delay: 86400\n"});
  const auto started = host.clock;
  Crawl("/dir/b.htm", 3);  // two descents: to sub.htm, and from there to c.htm
  EXPECT_GT(host.clock - started, std::chrono::seconds(2 * 120));
  EXPECT_LT(host.clock - started, std::chrono::seconds(2 * 150));
  const std::vector<std::string>& shown = host.statusHistory[1];
  EXPECT_EQ(std::count(shown.begin(), shown.end(),
                       "Crawl-delay of 86400 s in " + text::LCase(site.Url("/robots.txt")) + ": waiting 120 s"),
            1);
}

TEST_F(CrawlTest, UnreachableAndHttpsLinks) {
  site.Set("/index.htm", {"text/html",
                          "<a href=\"" + testing::RefusedUrl() + "x.htm\">refused</a>"
                          "<a href=\"https://127.0.0.1:1/\">secure</a><a href=\"c.htm\">c</a>"});
  Crawl("/index.htm", 2);
  // The refused link is dropped; https is skipped; c.htm is crawled.
  EXPECT_EQ(TreeLines(), "6 WWW\n  3 B/index.htm\n    4 B/c.htm (c.htm)\n");
}

TEST_F(CrawlTest, PicturesOfAnOpenedPageAreDownloadedInTurn) {
  site.Set("/a.jpg", {"image/jpeg", "JPEG bytes"});
  RobotForm& form = robot->Form();
  form.txtURL = site.Url("/");
  const std::string page = R"(<img src="a.jpg"><body background=pic.gif><img src="gone.gif">)";
  // While the first download is held back the others wait; a Cancel of the
  // download transfer (closing the window) ends the queue with it.
  site.StallFrom("/a.jpg", 1);
  robot->Pictures().ScanPictures(page);
  EXPECT_EQ(robot->Pictures().Waiting(), 2u);
  for (int i = 0; i < 400 && Requested("/a.jpg") == 0; ++i) host.WaitEvents(std::chrono::milliseconds(5));
  robot->Form_Unload();
  EXPECT_EQ(robot->Pictures().Waiting(), 0u);
  EXPECT_FALSE(robot->Inet2().StillExecuting());

  site.Release();
  form.txtURL = site.Url("/");
  robot->Pictures().ScanPictures(page);
  for (int i = 0; i < 400 && (robot->Pictures().Waiting() > 0 || robot->Inet2().StillExecuting()); ++i) {
    host.WaitEvents(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(Requests(), (std::vector<std::string>{"/a.jpg", "/a.jpg", "/pic.gif", "/gone.gif"}));
  EXPECT_EQ(ReadFile(dir / "saved" / "a.jpg"), "JPEG bytes");
  EXPECT_EQ(ReadFile(dir / "saved" / "pic.gif").size(), 13u);
  EXPECT_FALSE(fs::exists(dir / "saved" / "gone.gif"));  // a 404 page is no picture
  EXPECT_EQ(robot->Pictures().Stored().size(), 2u);
  EXPECT_EQ(form.FoundCount, 3);
  EXPECT_EQ(host.Status(3), "# Pages Found: 3");
  EXPECT_EQ(host.pointer, MousePointer::Default);
}

}  // namespace
}  // namespace zorvik
