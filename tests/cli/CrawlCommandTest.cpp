// zorvik-search crawl, run as a child process against a local site: the
// files it writes, what it prints, its exit status, Ctrl+C; and its console
// host in process: the answers to the robot's dialogs and the interrupt.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CrawlHost.h"
#include "core/RobotForm.h"
#include "crawler/CrawlSite.h"
#include "support/TestFiles.h"

namespace zorvik::cli {
namespace {

namespace fs = std::filesystem;
using testing::CrawlSite;
using testing::ReadFile;

// A site of three pages: the start page (no match, an address in its text,
// a relative, an absolute and a mailto link, a picture), a matching page
// with a mailto link, and a page linking back.
const std::string kIndex =
    "<html><head><title>Start</title></head><body>\r\n"
    "<p>Write to the keeper of this site at keeper@site.example or read on.</p>\r\n"
    "<a href=\"a.htm\">A</a>\r\n"
    "<a href=\"{BASE}/b.htm\">B</a>\r\n"
    "<a href=\"mailto:owner@example.com\">mail</a>\r\n"
    "<img src=\"pic.gif\">\r\n"
    "</body></html>\r\n";
const std::string kA =
    "<html><head><title>Robot Page</title></head><body>\r\n"
    "<p>All about the robot.</p> <a href=\"mailto:info@robots.example\">mail</a>\r\n"
    "</body></html>\r\n";
const std::string kB = "<html><head><title>Other</title></head><body>nothing to find <a href=\"a.htm\">A</a></body></html>";

class CrawlCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Lower case: the crawl lower-cases a page's own address when it takes
    // its links, and an opened page's path is such an address.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    dir = fs::temp_directory_path() / ("zorvik-crawl-cli-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* p : {"/index.htm", "/a.htm", "/dir/b.htm", "/dir/sub.htm", "/c.htm", "/missing.htm"})
      site.Remove(p);
    const std::string html = "text/html";
    site.Set("/index.htm", {html, kIndex});
    site.Set("/a.htm", {html, kA});
    site.Set("/b.htm", {html, kB});
    site.Start();
  }
  void TearDown() override {
    site.Release();
    fs::remove_all(dir);
  }

  std::string Url(const std::string& path) const { return site.Url(path); }
  // Starts zorvik-search crawl with `args` after the common ones.
  pid_t Launch(const std::vector<std::string>& args) {
    std::vector<std::string> all = {ZORVIK_SEARCH_PATH, "crawl", "--program-dir", dir.string(), "--wait", "0"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = (dir / "stdout.txt").string();
    const std::string errPath = (dir / "stderr.txt").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int in = ::open("/dev/null", O_RDONLY);
      ::dup2(out, 1);
      ::dup2(err, 2);
      ::dup2(in, 0);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  // Its exit status (128 + signal when a signal ended it); killed after 20 s.
  int Wait(pid_t pid) {
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "zorvik-search did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    out = ReadFile(dir / "stdout.txt");
    err = ReadFile(dir / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  int Run(const std::vector<std::string>& args) { return Wait(Launch(args)); }

  std::string FileList(const std::string& base, bool addressFile, bool linksReport) const {
    const std::string d = dir.string() + "/";
    return "URL file:           " + d + base + ".txt\n" +
           "search result file: " + d + base + "_search_result.htm\n" +
           "searched report:    " + d + base + "_searched.htm\n" +
           "address file:       " + d + base + "_mailfile.txt" + (addressFile ? "" : " (not written)") + "\n" +
           "links report:       " + d + "links.htm" + (linksReport ? "" : " (not written)") + "\n";
  }

  CrawlSite site;
  fs::path dir;
  std::string out;
  std::string err;
};

TEST_F(CrawlCommandTest, TwoLevelsFromAStartAddressWriteEveryFile) {
  const std::string urlFile = (dir / "run.txt").string();
  ASSERT_EQ(Run({"-e", "robot", "-u", Url("/index.htm"), "-o", urlFile, "-d", "2", "--emails", "--ext-emails",
                 "--links", "--tree"}),
            0)
      << err;
  EXPECT_EQ(err, "");
  const std::string a = Url("/a.htm");
  const std::string b = Url("/b.htm");
  EXPECT_EQ(out, "6 WWW\n"
                 "  3 " + Url("/index.htm") + "\n" +
                 "    5 " + Url("/pic.gif") + " (pic.gif)\n" +
                 "    1 " + a + " (a.htm)\n" +
                 "    3 " + b + "\n" + FileList("run", true, true));

  // The boxes reached the robot: the matching page is recorded with its
  // first mailto address (each time its link is sorted and when it is
  // crawled), the start page's address is harvested, the absolute link logged.
  const std::string record = a + "\r\nRobot Page\r\ninfo@robots.example\r\n";
  EXPECT_EQ(ReadFile(urlFile), record + record);
  EXPECT_EQ(ReadFile(dir / "run_mailfile.txt"), "keeper@site.example\r\n");
  EXPECT_EQ(ReadFile(dir / "links2.htm"), b + "\r\n");
}

TEST_F(CrawlCommandTest, RefusedInputAndUsageErrorsFetchNothing) {
  const std::string urlFile = (dir / "run.txt").string();
  const std::string u = Url("/index.htm");
  const std::string usage = "zorvik-search crawl: ";
  const std::string depth = "Invalid Search Depth: Please enter an integer value for Search Depth.\n";
  // What the robot refuses is told as its message box says it; a usage
  // error names the problem and shows the usage.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-e", "robot", "-o", urlFile, "-u", u, "-d", "0"}, depth},
      {{"-e", "robot", "-u", u, "-o", (dir / "a.tx").string()},
       "Invalid URL file: The file name must be longer than four characters: the search's files are named after "
       "it without its last four.\n"},
      {{"-u", u, "-o", urlFile}, usage + "no search expression given"},
      {{"-e", "robot", "-u", u}, usage + "no URL file given"},
      {{"-e", "robot", "-u", u, "-o", urlFile, "--frobnicate"}, usage + "unknown argument --frobnicate"},
      {{"-e", "robot", "-u", u, "-o", urlFile, "-d"}, usage + "option -d needs a value"},
      {{"-e", "robot", "-o", urlFile, "--all", "--site-search"}, usage + "choose one of"},
      {{"-e", "robot", "-u", u, "-o", urlFile, "--wait", "-1"}, usage + "--wait wants a whole number"},
      {{"-e", "robot", "-u", u, "-o", urlFile, "--min-rate", "1k"}, usage + "--min-rate wants a whole number"},
      {{"-e", "robot", "-o", urlFile, "--engine", "Combo1/Yahoo"}, usage + "Combo1 has no item \"Yahoo\""},
      {{"-e", "robot", "-o", urlFile, "--engine", "Combo6/Lycos"}, usage + "--engine wants LIST/NAME"},
      {{"-e", "robot", "-o", urlFile, "--engine", "1/Lycos", "--engine", "Combo1/Go"}, usage + "Combo1 is chosen twice"},
      {{"-e", "robot", "-o", urlFile, "--all", "--ffa", "999"}, usage + "--ffa wants a category code"},
      {{"-e", "robot", "-o", urlFile, "--site-search"}, usage + "no sitesearch.txt in"},
      {{"-e", "robot", "-o", urlFile, "--engine", "5/Programming", "--option", "Cobol"},
       usage + "\"Programming\" has no search option \"Cobol\"\n"},
      {{"-e", "robot", "--open-page", (dir / "none.htm").string()}, usage + "no such page"},
      {{"-e", "robot", "-u", u, "-o", (dir / "no" / "run.txt").string()}, usage + "the URL file's folder does not exist"},
  };
  for (const auto& [args, problem] : cases) {
    EXPECT_EQ(Run(args), 2) << problem;
    EXPECT_EQ(out, "");
    if (problem.starts_with(usage)) {
      EXPECT_TRUE(err.starts_with(problem)) << err;
      EXPECT_NE(err.find("usage: zorvik-search crawl -e EXPRESSION"), std::string::npos);
    } else {
      EXPECT_EQ(err, problem);
    }
  }
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out.find("Exit status: 0 when the search finished"), std::string::npos);
  EXPECT_NE(out.find("--page-time SECONDS"), std::string::npos);
  EXPECT_TRUE(site.Requests().empty());
  EXPECT_FALSE(fs::exists(urlFile));
}

TEST_F(CrawlCommandTest, AStartThatCannotBeFetchedAndAFileThatCannotBeWrittenHaveTheirStatus) {
  // A start page that cannot be fetched: why, and status 3.
  site.Set("/gone.htm", {"text/html", "a robot was here", 404});
  const std::string urlFile = (dir / "run.txt").string();
  EXPECT_EQ(Run({"-e", "robot", "-u", Url("/gone.htm"), "-o", urlFile, "--no-robots"}), 3);
  EXPECT_EQ(err, "zorvik-search crawl: cannot fetch " + Url("/gone.htm") + ": HTTP/1.1 404 Not Found\n");
  EXPECT_EQ(site.Requests(), std::vector<std::string>{"/gone.htm"}) << "--no-robots: no robots.txt";
  // One that would come (after 5 s), but later than --page-time allows.
  site.StallFrom("/index.htm", 1);
  EXPECT_EQ(Run({"-e", "robot", "-u", Url("/index.htm"), "-o", urlFile, "--no-robots", "--page-time", "1"}), 3);
  EXPECT_EQ(err, "zorvik-search crawl: cannot fetch " + Url("/index.htm") + ": Took longer than 1 s\n");
  site.StallFrom("", 0);
  site.Release();
  EXPECT_FALSE(fs::exists(urlFile));
  // The URL file on a full disk: told once, and the search stops there, with
  // status 4.
  fs::create_symlink("/dev/full", urlFile);
  site.ClearRequests();
  EXPECT_EQ(Run({"-e", "robot", "-u", Url("/index.htm"), "-o", urlFile, "-d", "2"}), 4);
  EXPECT_TRUE(err.starts_with("Write Error: Could not write \"" + urlFile +
                              "\": No space left on device. Stop the search?\n"))
      << err;
  EXPECT_EQ(site.Requests(), (std::vector<std::string>{"/robots.txt", "/index.htm", "/a.htm", "/a.htm"}));
}

TEST_F(CrawlCommandTest, InterruptEndsTheRobotsReadOfADeafServer) {
  testing::UnresponsiveListener deaf(false);
  const pid_t pid = Launch({"-e", "robot", "-u", deaf.Url() + "index.htm", "-o", (dir / "run.txt").string()});
  ASSERT_TRUE(deaf.WaitForCaller(std::chrono::seconds(10)));  // robots.txt is asked for
  const auto interrupted = std::chrono::steady_clock::now();
  ::kill(pid, SIGINT);
  EXPECT_EQ(Wait(pid), 1) << err;
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(2));
  EXPECT_NE(err.find("zorvik-search: stopping the search"), std::string::npos) << err;
  // The finish steps still ran: the files are listed.
  EXPECT_NE(out.find("searched report:    " + (dir / "run_searched.htm").string() + "\n"), std::string::npos) << out;
}

TEST_F(CrawlCommandTest, EngineAllSiteSearchAndOpenPageStartTheirSearches) {
  std::ofstream ini(dir / "engines.ini");
  ini << "Combo5/Programming = " << site.Base() << "\n";
  for (const char* name : {"AltaVista", "Lycos", "HotBot", "Excite", "Go", "Deja", "LookSmart", "1Blink", "AOL",
                           "DogPile", "Questfinder", "FFA Links", "FFA Links 2", "Classified", "4Anything"})
    ini << "Combo1/" << name << " = " << site.Base() << "\n";
  ini.close();
  site.Set("/riquery.asp", {"text/html", "<html><body>ads<h2>Results for robot</h2><p>one</p>"
                                         "Back to top of page</body></html>"});
  testing::WriteFile(dir / "sitesearch.txt", Url("/a.htm?q=txtSearchString&n=1") + "\r\n" +
                                                 Url("/b.htm?TXTSEARCHSTRING") + "\r\n");
  const std::string opened = (dir / "mylinks.htm").string();
  testing::WriteFile(opened, "<html><body>a robot list <a href=\"" + Url("/a.htm") + "\">A</a>");
  const std::string o = (dir / "p.txt").string();
  const std::string ffa = "/cgi-bin/search_cust.cgi?query=robot&list_limit=50&brief=No&category_num=1007";
  using V = std::vector<std::string>;
  const std::pair<V, V> cases[] = {
      // The option answers the topic picker; the direct-mode page is cut.
      {{"-o", o, "--engine", "Combo5/Programming", "--option", "SQL: Tools"}, {"/riquery.asp?keyword=SQL:+Tools"}},
      {{"-o", o, "--site-search"}, {"/a.htm?q=robot&n=1", "/b.htm?robot"}},
      // The page itself is not fetched; its link is probed twice, or once
      // when each page is read once. Saved pages go into the collection
      // folder given, else into "collection", as in every search.
      {{"--open-page", opened, "-d", "2", "--pages", "--collection", (dir / "mine").string()},
       {"/robots.txt", "/a.htm", "/a.htm"}},
      {{"--open-page", opened, "-d", "2", "--once", "--pages"}, {"/robots.txt", "/a.htm"}},
  };
  fs::create_directory(dir / "mine");
  for (const auto& [args, requests] : cases) {
    site.ClearRequests();
    V all = {"-e", "robot"};
    all.insert(all.end(), args.begin(), args.end());
    ASSERT_EQ(Run(all), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(site.Requests(), requests) << args[1];
  }
  EXPECT_NE(ReadFile(dir / "p_search_result.htm").find("<h2>Results for robot</h2><p>one</p>\r\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "mine" / "a.htm"));
  EXPECT_TRUE(fs::exists(dir / "collection" / "a.htm"));
  EXPECT_FALSE(fs::exists(dir / "a.htm"));
  // "All" asks every general engine; --ffa answers the category picker.
  site.ClearRequests();
  ASSERT_EQ(Run({"-e", "robot", "-o", (dir / "all.txt").string(), "--all", "--ffa", "1007"}), 0) << err;
  const V requests = site.Requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), ffa), requests.end());
  EXPECT_EQ(out.find("URL file:           " + (dir / "all.txt").string() + " (not written)\n"), 0u);
}

// ---- the host in process ----

TEST(CrawlHostTest, MessagesAndPanelLines) {
  std::ostringstream err;
  CrawlHost host(err, {}, ProgressStyle::PanelLines);
  RobotForm form;
  form.SearchedCount = 3;
  form.FoundCount = 1;
  form.txtURL = "http://x/";
  host.Watch(&form);
  host.ShowStatus(1, "Connecting");
  host.ShowStatus(1, "Connecting");  // no change, no line
  host.ShowStatus(2, "# URL Searched: 3");
  host.ShowStatus(1, "Finished..... ");
  EXPECT_EQ(host.MsgBox("Search was Cancelled!.", MsgButtons::Ok, MsgIcon::Exclamation, ""), MsgAnswer::Ok);
  EXPECT_FALSE(host.InputRejected());
  EXPECT_EQ(host.MsgBox("Go on?", MsgButtons::YesNo, MsgIcon::Question, "Q"), MsgAnswer::Yes);
  EXPECT_EQ(err.str(),
            "Connecting | searched 3 | found 1 | http://x/\n"
            "Finished..... | searched 3 | found 1 | http://x/\n"
            "zorvik-search: Search was Cancelled!.\n"
            "Q: Go on?\n");
  EXPECT_EQ(host.Panel(2), "# URL Searched: 3");
  host.MsgBox("Please enter a valid URL", MsgButtons::Ok, MsgIcon::Critical, "Invalid URL");
  EXPECT_TRUE(host.InputRejected());
}

TEST(CrawlHostTest, StatusLineIsRewrittenInPlaceAtMostTenTimesASecond) {
  std::ostringstream err;
  CrawlHost host(err, {}, ProgressStyle::StatusLine);
  RobotForm form;
  form.txtURL = "http://x/";
  host.Watch(&form);
  host.ShowStatus(1, "Connecting");
  host.ShowStatus(1, "Connected");  // held back
  EXPECT_EQ(err.str(), "\rConnecting | searched 0 | found 0 | http://x/\x1b[K");
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  form.SearchedCount = 1;
  host.WaitEvents(std::chrono::milliseconds(1));  // the pump catches up
  // A message box clears the line first; the line comes back at the end.
  host.MsgBox("text", MsgButtons::Ok, MsgIcon::None, "T");
  host.EndProgress();
  EXPECT_EQ(err.str(),
            "\rConnecting | searched 0 | found 0 | http://x/\x1b[K"
            "\rConnected | searched 1 | found 0 | http://x/\x1b[K"
            "\r\x1b[KT: text\n");
  host.WaitEvents(std::chrono::milliseconds(1));
  host.EndProgress();
  EXPECT_EQ(err.str().substr(err.str().rfind("T: text\n")),
            "T: text\n\rConnected | searched 1 | found 0 | http://x/\x1b[K\n");
}

TEST(CrawlHostTest, FirstInterruptPressesStopInsideThePump) {
  std::ostringstream err;
  CrawlHost host(err, {}, ProgressStyle::None);
  int presses = 0;
  host.OnInterrupt([&] { ++presses; });
  host.CatchInterrupt();
  host.WaitEvents(std::chrono::milliseconds(1));
  EXPECT_EQ(presses, 0);
  ::raise(SIGINT);
  EXPECT_EQ(presses, 0);  // the handler only notes it
  host.WaitEvents(std::chrono::milliseconds(1));
  host.WaitEvents(std::chrono::milliseconds(1));
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(host.Stopped());
  host.ReleaseInterrupt();
}

TEST(CrawlHostDeathTest, SecondInterruptEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::ostringstream err;
        CrawlHost host(err, {}, ProgressStyle::None);
        host.CatchInterrupt();
        ::raise(SIGINT);
        ::raise(SIGINT);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(130), "");
}

}  // namespace
}  // namespace zorvik::cli
