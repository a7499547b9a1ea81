// The commands that start searches, against a local server standing in for
// the outside engines and the web.
#include <gtest/gtest.h>


#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/SearchState.h"
#include "core/Text.h"
#include "engines/WebRobot.h"
#include "support/TestFiles.h"
#include "support/FakeHost.h"
#include "support/TestHttpServer.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

// The result file's opening and closing lines around whatever was written.
void ExpectFramed(const fs::path& p, const std::string& head) {
  const std::string result = ReadFile(p);
  EXPECT_EQ(result.substr(0, head.size()), head) << p;
  EXPECT_TRUE(result.ends_with("</Body>\r\n</HTML>\r\n")) << p;
}

// Answers every request with a page holding the markers of the "VB" engine's
// cut and a link, and remembers each request target.
class EngineServer {
 public:
  EngineServer() {
    server.Routes().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex);
        targets.push_back(req.target);
      }
      if (req.path == "/pic.JPG") {
        res.set_content("JPEGDATA", "image/jpeg");
        return;
      }
      res.set_content("<html><title>Engine</title>ads Results: robot one<br>robot two Search method end</html>",
                      "text/html");
    });
    server.Start();
  }
  std::vector<std::string> Targets() {
    std::lock_guard lock(mutex);
    return targets;
  }
  std::size_t Count() { return Targets().size(); }
  testing::TestHttpServer server;
  std::mutex mutex;
  std::vector<std::string> targets;
};

// The enabled commands and the busy animation.
struct Enabled {
  bool btnSearch, btnStop, perform, stop, txtURL, busy;
  bool operator==(const Enabled&) const = default;
};
constexpr Enabled kIdle{true, false, true, false, true, false};
constexpr Enabled kCrawling{false, true, false, true, false, true};

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "elsewhere");
    // Every engine of the catalogue answers on the local server.
    std::string ini;
    for (const EngineRecord& e : EngineTable()) ini += QualifiedName(e) + " = " + server.server.Url("") + "\n";
    WriteFile(dir / "engines.ini", ini);
    robot = std::make_unique<WebRobot>(host, state, dir);
    robot->Options().politeness = std::chrono::seconds(0);
    robot->Form().txtSearchString = "robot";
  }
  void AnswerUrlFile(const std::string& name) { host.dialogAnswers.push_back((dir / "elsewhere" / name).string()); }
  Enabled Now() const {
    const RobotForm& f = robot->Form();
    return {f.btnSearchEnabled, f.btnStopEnabled, f.mnuPerformSearchEnabled, f.mnuStopSearchEnabled,
            f.txtURLEnabled, f.tmrBusyEnabled};
  }

  testing::FakeHost host;
  SearchState state;
  EngineServer server;
  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  std::unique_ptr<WebRobot> robot;
};

TEST_F(LaunchTest, SearchButtonCrawlsFromTheTypedAddress) {
  RobotForm& form = robot->Form();
  form.txtURL = server.server.Url("/start.htm");
  form.txtSearchDepth = "1";
  AnswerUrlFile("found.txt");
  std::vector<Enabled> seen;
  MousePointer during = MousePointer::Default;
  host.onPump = [&] {
    seen.push_back(Now());
    during = host.pointer;
  };
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_EQ(during, MousePointer::Busy);  // the arrow with hourglass: Stop stays usable

  EXPECT_EQ(host.dialogs.at(0).title, "Open/Create New URL file");
  EXPECT_EQ(host.dialogs.at(0).filter, "Text (*.txt)|*.txt");
  EXPECT_EQ(state.ResultBaseName, "found");
  EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/robots.txt", "/start.htm"}));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), kCrawling);
  EXPECT_EQ(Now(), kIdle);
  EXPECT_EQ(host.Status(1), "Finished..... ");
  EXPECT_EQ(host.pointer, MousePointer::Default);
  // Output files are named after the URL file but live in the program
  // directory. With no engine the whole page goes into the result file.
  ExpectFramed(dir / "found_search_result.htm", "<HTML>\r\n<h2><center>SEARCH RESULT</center></h2>\r\n<html>");
  EXPECT_TRUE(fs::exists(dir / "found_searched.htm"));
  EXPECT_EQ(ReadFile(dir / "elsewhere" / "found.txt").substr(0, form.txtURL.size()), form.txtURL);
}

TEST_F(LaunchTest, ASearchResultFileOnAFullDiskIsToldOnce) {
  fs::create_symlink("/dev/full", dir / "full_search_result.htm");
  robot->Form().txtURL = server.server.Url("/start.htm");
  AnswerUrlFile("full.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages[0].text, "Could not write \"" + (dir / "full_search_result.htm").string() +
                                       "\": No space left on device. Stop the search?");
  EXPECT_EQ(std::count_if(host.messages.begin(), host.messages.end(),
                          [](const auto& m) { return m.title == "Write Error"; }),
            1);
  // The page's section, "</Body>" and "</HTML>" failed too; told once.
  EXPECT_GE(robot->Context().writeFailures.Count(), 3u);
  EXPECT_EQ(Now(), kIdle);
}

TEST_F(LaunchTest, BadStartsAreRefusedWithTheirMessages) {
  RobotForm& form = robot->Form();
  struct Case {
    std::string address, depth, text, title;
    MsgIcon icon;
  };
  const Case cases[] = {
      {"", "2", "No URL inserted!", "", MsgIcon::Exclamation},
      {" www.x.com", "2", "Please enter a valid URL", "Invalid URL", MsgIcon::Critical},
      {"www.x.com", "0", "Please enter an integer value for Search Depth.", "Invalid Search Depth",
       MsgIcon::Critical},
  };
  for (const Case& c : cases) {
    form.txtURL = c.address;
    form.txtSearchDepth = c.depth;
    host.messages.clear();
    AnswerUrlFile("bad.txt");
    robot->tbToolbar_ButtonClick("btnSearch");
    ASSERT_EQ(host.messages.size(), 1u) << c.text;
    EXPECT_EQ(host.messages[0].text, c.text);
    EXPECT_EQ(host.messages[0].title, c.title);
    EXPECT_EQ(host.messages[0].icon, c.icon);
    EXPECT_EQ(Now(), kIdle);
  }
  EXPECT_EQ(server.Count(), 0u);
  // A cancelled dialog ends the command before anything happens.
  host.messages.clear();
  robot->mnuPerformSearch_Click();
  EXPECT_EQ(host.dialogs.back().title, "Open/Create New file");
  EXPECT_TRUE(host.messages.empty());
  // A typed server name is completed.
  form.txtURL = "127.0.0.1:1";
  form.txtSearchDepth = "1";
  AnswerUrlFile("x.txt");
  robot->mnuPerformSearch_Click();
  EXPECT_EQ(form.txtURL, "http://127.0.0.1:1/");
}

TEST_F(LaunchTest, DirectModeEngineCutsItsPageTwice) {
  RobotForm& form = robot->Form();
  form.Combo5 = "VB";
  AnswerUrlFile("vb.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/php-bin/search.php?searchview=priority&query=robot"}));
  // Written by the fetch's cut and again by the run's own cut of the section.
  const std::string section = "Results: robot one<br>robot two ";
  EXPECT_EQ(ReadFile(dir / "vb_search_result.htm"),
            "<HTML>\r\n<h2><center>SEARCH RESULT</center></h2>\r\n" + section + "\r\n" + section +
                "\r\n</Body>\r\n</HTML>\r\n");
  EXPECT_EQ(state.StopRequested, 1);
  EXPECT_EQ(form.BrowserLocation, (dir / "vb_search_result.htm").string());
  EXPECT_EQ(Now(), kIdle);

  // "Programming" asks for its topic first.
  form.Combo5 = "Programming";
  host.pickAnswers.push_back({ListPick::Outcome::Chosen, "VB: Sound Bites"});
  AnswerUrlFile("prog.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_EQ(host.pickers.size(), 1u);
  // The expression goes in as typed; the transfer sends blanks as "+".
  EXPECT_EQ(form.txtURL, server.server.Url("/riquery.asp?keyword=VB: Sound Bites"));
  EXPECT_EQ(server.Targets().back(), "/riquery.asp?keyword=VB:+Sound+Bites");
}

TEST_F(LaunchTest, AllRunAsksEveryGeneralEngine) {
  robot->Form().Combo1 = "All";
  host.pickAnswers.push_back({ListPick::Outcome::Chosen, "1005 Computers"});
  AnswerUrlFile("first.txt");  // the Search button's dialog
  AnswerUrlFile("all.txt");    // and the "All" run's own
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_EQ(host.dialogs.size(), 2u);
  EXPECT_EQ(state.ResultBaseName, "all");
  EXPECT_EQ(host.pickers.size(), 1u);
  const auto targets = server.Targets();
  EXPECT_EQ(targets.size(), 14u);  // "Questfinder" is passed over
  EXPECT_EQ(std::count_if(targets.begin(), targets.end(),
                          [](const std::string& t) { return t.find("1005") != std::string::npos; }),
            1);
  EXPECT_EQ(host.Status(1), "Finished..... ");
  ExpectFramed(dir / "all_search_result.htm", "<HTML>\r\n<html>");
}

TEST_F(LaunchTest, AfterAStopEveryKindOfSearchFetchesAgain) {
  AnswerUrlFile("all.txt");
  host.onPump = [&] {
    if (server.Count() == 3 && !state.StopWanted()) robot->mnuStopSearch_Click();
  };
  robot->Command1_Click();
  EXPECT_EQ(robot->Form().Combo1, "HotBot");  // the third engine, where the run ended
  EXPECT_EQ(server.Count(), 3u);
  EXPECT_EQ(host.Status(1), "Finished..... ");
  EXPECT_EQ(Now(), kIdle);
  EXPECT_FALSE(robot->Inet1().StillExecuting());
  host.onPump = nullptr;

  // "All" again and a direct-mode engine ask their engines again.
  AnswerUrlFile("again.txt");
  robot->Command1_Click();
  EXPECT_EQ(server.Count(), 3u + 14u);
  RobotForm& form = robot->Form();
  form.Combo1.clear();
  form.Combo5 = "VB";
  AnswerUrlFile("vb.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_EQ(server.Count(), 18u);

  // After the toolbar's Stop a typed address is crawled, from the Search
  // button and from Enter in the address box.
  form.Combo5.clear();
  form.txtURL = server.server.Url("/start.htm");
  form.txtSearchDepth = "1";
  robot->tbToolbar_ButtonClick("btnStop");
  AnswerUrlFile("typed.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  AnswerUrlFile("enter.txt");
  robot->txtURL_KeyPress(13);
  const std::vector<std::string> targets = server.Targets();
  EXPECT_EQ(std::vector<std::string>(targets.begin() + 18, targets.end()),
            (std::vector<std::string>{"/robots.txt", "/start.htm", "/robots.txt", "/start.htm"}));

  // Enter while a crawl runs ends its fetch and starts a search that fetches
  // nothing, so the two never interleave.
  bool pressed = false;
  host.onPump = [&] {
    if (!pressed && robot->Inet1().StillExecuting()) {
      pressed = true;
      AnswerUrlFile("inner.txt");
      robot->txtURL_KeyPress(13);
    }
  };
  AnswerUrlFile("outer.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_TRUE(pressed);
  // The outer crawl read robots.txt; its page was abandoned before it went out.
  EXPECT_EQ(server.Count(), 23u);
  EXPECT_EQ(host.Status(1), "Finished..... ");
}

TEST_F(LaunchTest, OpenPageSearchStartsFromTheFile) {
  RobotForm& form = robot->Form();
  form.txtSearchString.clear();
  robot->Command2_Click();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "You must enter a valid search expression!");
  EXPECT_TRUE(host.dialogs.empty());

  form.txtSearchString = "robot";
  form.txtSearchDepth = "2";
  form.chkStay = true;
  form.chkSave = true;
  form.Combo2 = "Go2Net";
  const fs::path page = dir / "elsewhere" / "links.htm";
  WriteFile(page, "<a href=\"" + server.server.Url("/one.htm") + "\">one</a> a robot page by me@robots.example.org " +
                      "and more text after the address");
  host.dialogAnswers.push_back(page.string());
  host.dialogAnswers.push_back((dir / "elsewhere").string());
  robot->Command2_Click();
  EXPECT_EQ(host.dialogs.end()[-2].title, "Open URL file");
  EXPECT_EQ(host.dialogs.end()[-2].filter, "HTML (*.htm)|*.htm");
  // Saved pages go where the user says, as in every other search.
  EXPECT_EQ(host.dialogs.back().title, "Save to.....");
  EXPECT_TRUE(fs::exists(dir / "elsewhere" / "one.htm"));
  EXPECT_FALSE(form.chkStay);
  EXPECT_EQ(form.Combo2, "");
  // The opened page is left as it was; matching pages are recorded in a URL
  // file of the program directory, and the spidered file is their report.
  const std::string opened = ReadFile(page);
  EXPECT_TRUE(opened.starts_with("<a href=\"") && opened.find("\r\n") == std::string::npos) << opened;
  EXPECT_EQ(ReadFile(dir / "links.txt"), server.server.Url("/one.htm") + "\r\nEngine\r\n\r\n");
  EXPECT_TRUE(ReadFile(dir / "spidered_links.htm").starts_with("<HTML>\r\n<body bgcolor=\"#FBFCD6\" "));
  // The page's link was read twice and sorted; the page itself was not fetched.
  EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/robots.txt", "/one.htm", "/one.htm"}));
  const ResourceNodePtr start = robot->Tree().Root()->Links().Count() ? robot->Tree().Root()->Links()[0] : nullptr;
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->PageURL(), text::LCase(page.string()));  // lower-cased for its links
  EXPECT_TRUE(start->PageMatches);
  EXPECT_EQ(ReadFile(dir / "links_mailfile.txt"), "me@robots.example.org\r\n");
  EXPECT_EQ(Now(), kIdle);

  // A page named like a file the program keeps for itself has its finds
  // recorded under a variation of the name, never in the program's file.
  for (const std::string name : {"bookmark", "sitesearch", "x_mailfile"}) {
    WriteFile(dir / (name + ".txt"), "mine\r\n");
    WriteFile(dir / "elsewhere" / (name + ".htm"), "<a href=\"" + server.server.Url("/one.htm") + "\">one</a>");
    host.dialogAnswers.push_back((dir / "elsewhere" / (name + ".htm")).string());
    robot->Command2_Click();
    EXPECT_EQ(ReadFile(dir / (name + ".txt")), "mine\r\n");
    EXPECT_EQ(ReadFile(dir / (name + "_page.txt")), server.server.Url("/one.htm") + "\r\nEngine\r\n\r\n");
  }
}

TEST_F(LaunchTest, SiteSearchFillsEachLineOfTheList) {
  const std::string base = server.server.Url("");
  WriteFile(dir / "sitesearch.txt", base + "/a?q=TXTSEARCHSTRING&n=1\r\n" + base + "/b/txtSearchString\n" +
                                        "no placeholder\r\n" + base + "/never/txtSearchString\r\n");
  AnswerUrlFile("site.txt");
  robot->mnuFileSearch_Click();
  EXPECT_EQ(host.dialogs.back().title, "Save to URL file");
  EXPECT_EQ(robot->Form().Combo1, "All");
  EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a?q=robot&n=1", "/b/robot"}));
  ExpectFramed(dir / "site_search_result.htm", "<HTML>\r\n<html>");
  EXPECT_EQ(Now(), kIdle);
}

TEST_F(LaunchTest, PictureStartAddressIsDownloadedNotCrawled) {
  RobotForm& form = robot->Form();
  form.txtURL = server.server.Url("/pic.JPG");
  robot->Context().collectionFolder = (dir / "elsewhere").string() + "/";
  AnswerUrlFile("pic.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/pic.JPG"}));
  EXPECT_EQ(ReadFile(dir / "elsewhere" / "pic.JPG"), "JPEGDATA");
  EXPECT_EQ(robot->Tree().Root()->Links().Count(), 0u);

  // That search ended early; the next one writes into its own file only.
  form.Combo5 = "Mp3";
  AnswerUrlFile("next.txt");
  robot->tbToolbar_ButtonClick("btnSearch");
  const std::string opening = "<HTML>\r\n<h2><center>SEARCH RESULT</center></h2>\r\n";
  EXPECT_EQ(ReadFile(dir / "pic_search_result.htm"), opening);
  ExpectFramed(dir / "next_search_result.htm", opening + "<HTML>\r\n");
}

TEST(ResultBaseNameTest, TheLastFourCharactersGoNeverPartOfOne) {
  EXPECT_EQ(ResultBaseNameOf("found.txt"), "found");
  EXPECT_EQ(ResultBaseNameOf("results.list"), "results.");
  EXPECT_EQ(ResultBaseNameOf("canci\xC3\xB3n"), "can");
  EXPECT_EQ(ResultBaseNameOf("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"), "\xE2\x82\xAC");
  // Four characters or fewer leave nothing to name the files after.
  EXPECT_EQ(ResultBaseNameOf(".txt"), std::nullopt);
  EXPECT_EQ(ResultBaseNameOf("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), std::nullopt);
}

}  // namespace
}  // namespace zorvik
