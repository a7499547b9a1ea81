// The commands of zorvik-search that run in process: match, harvest, report,
// query and cut. Their rules are the logic's (tested there); here what each
// command reads, prints and writes, and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "cli/CommandHelpers.h"
#include "cli/MatchCommand.h"
#include "cli/SearchTool.h"
#include "core/Version.h"
#include "support/TestFiles.h"

namespace zorvik::cli {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

// Thirty characters without a delimiter: an "@" after them has a full window.
const std::string kPad = "Lorem-ipsum-dolor-sit-amet-con";

class SearchToolTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& content) {
    testing::WriteFile(dir / name, content);
    return (dir / name).string();
  }
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunSearchTool(args, out, err);
  }

  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  std::string pd = dir.string();
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(SearchToolTest, MatchPrintsMatchingFilesInArgumentOrderAndMessagesAsTitleAndText) {
  const std::string robots = Put("robots.htm", "<h1>Web ROBOTS</h1> crawl the <b>web</b>");
  const std::string cats = Put("cats.htm", "<p>cats only</p>");
  const std::string spiders = Put("spiders.htm", "a spider is a robot");
  EXPECT_EQ(Run({"match", "-e", "robot", spiders, cats, robots}), kMatched);
  EXPECT_EQ(out.str(), spiders + "\n" + robots + "\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(Run({"match", "--expression=zebra", spiders, cats}), kNoMatch);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"match", "-e", "not robot", "--", cats}), kMatched);
  EXPECT_EQ(out.str(), cats + "\n");
  EXPECT_EQ(Run({"match", "-e", "(cat dog", cats, cats}), kMatched);
  EXPECT_EQ(err.str(),
            "Invalid Search String: Expected )\r\n but found dog.\n"
            "Invalid Search String: Expected )\r\n but found dog.\n")
      << "once per page tested";
}

TEST_F(SearchToolTest, FilesThatCannotBeReadWholeAreRefusedBeforeReading) {
  // A device that never ends, a pipe nobody writes to, a directory, a
  // (sparse) file above the limit, a missing file: each command says why
  // and passes the file over, reading not a byte of it.
  const std::string pipe = (dir / "pipe.htm").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string huge = Put("huge.htm", "");
  fs::resize_file(huge, kMaxInputBytes + 1);
  const std::string good = Put("good.htm", "robot");
  const std::pair<std::string, std::string> refused[] = {{"/dev/zero", "not a regular file"},
                                                         {pipe, "not a regular file"},
                                                         {pd, "not a regular file"},
                                                         {huge, "larger than 1 GiB"},
                                                         {(dir / "missing.htm").string(), "No such file or directory"}};
  for (const auto& [path, why] : refused) {
    const std::string said = "zorvik-search: cannot read " + path + ": " + why + "\n";
    EXPECT_EQ(Run({"match", "-e", "robot", path, good}), kMatched) << path;
    EXPECT_EQ(out.str(), good + "\n");
    EXPECT_EQ(err.str(), said);
    EXPECT_EQ(Run({"harvest", "--program-dir", pd, path}), kNoMatch) << path;
    EXPECT_EQ(err.str(), said);
    EXPECT_EQ(Run({"cut", "--program-dir", pd, path}), kUsageError) << path;
    EXPECT_EQ(err.str(), said);
    EXPECT_EQ(Run({"report", path, "--out", (dir / "r.htm").string()}), kNoMatch) << path;
    EXPECT_EQ(err.str(), said);
  }
  EXPECT_FALSE(fs::exists(dir / "r.htm"));
}

TEST_F(SearchToolTest, HarvestsFilesInOrderWithOneHarvester) {
  const std::string a = Put("a.htm", kPad + " john@example.com. ");
  const std::string b = Put("b.htm", kPad + " jane@example.com ");
  const std::string none = Put("none.htm", "<p>no address</p>");
  EXPECT_EQ(Run({"harvest", "--program-dir", pd, a, a, none, b, a}), kMatched);
  EXPECT_EQ(out.str(), "john@example.com\njane@example.com\njohn@example.com\n");
  EXPECT_TRUE(fs::exists(dir / "zorvik_mailfile.txt"));
  EXPECT_EQ(Run({"harvest", "--program-dir=" + pd, "--base=crawl", b, (dir / "missing").string()}), kMatched);
  EXPECT_TRUE(fs::exists(dir / "crawl_mailfile.txt"));
  EXPECT_EQ(Run({"harvest", "--program-dir", pd, none}), kNoMatch);
  // --mailto prints one line per file and writes nothing.
  fs::remove(dir / "zorvik_mailfile.txt");
  const std::string link = Put("l.htm", "<a href=\"mailto:me@x.org\">me</a>");
  EXPECT_EQ(Run({"harvest", "--program-dir", pd, "--mailto", a, link}), kMatched);
  EXPECT_EQ(out.str(), "\nme@x.org\n");
  EXPECT_FALSE(fs::exists(dir / "zorvik_mailfile.txt"));
  // An address that cannot be written is printed, and the failure said,
  // with its own exit status.
  fs::create_symlink("/dev/full", dir / "full_mailfile.txt");
  EXPECT_EQ(Run({"harvest", "--program-dir", pd, "--base", "full", a}), 3);
  EXPECT_EQ(out.str(), "john@example.com\n");
  EXPECT_EQ(err.str(), "zorvik-search: cannot write " + pd + "/full_mailfile.txt: No space left on device\n");
}

TEST_F(SearchToolTest, ReportBesideTheUrlFileOrWhereAsked) {
  const std::string urls = Put("found.txt", "http://a/\nA\n\n");
  EXPECT_EQ(Run({"report", urls}), kMatched);
  EXPECT_EQ(Run({"report", urls, "--out", (dir / "r.htm").string()}), kMatched);
  EXPECT_NE(ReadFile(dir / "found_searched.htm").find("http://a/"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "r.htm"), ReadFile(dir / "found_searched.htm"));
  EXPECT_EQ(Run({"report", urls, "--out", (dir / "no" / "r.htm").string()}), kNoMatch);
  EXPECT_NE(err.str().find("cannot write the report"), std::string::npos);
}

TEST_F(SearchToolTest, QueryPrintsTheAddressOfTheDispatchedEngine) {
  // Several lists: the robot's dispatch picks, the choice is reported, and
  // the program directory's engines.ini gives the endpoint.
  Put("engines.ini", "Combo4/Jumbo = http://127.0.0.1:9000\n");
  EXPECT_EQ(Run({"query", "--engine", "Combo4/Jumbo", "--engine", "Combo5/eBay", "-e", "two words", "--program-dir", pd}),
            kMatched);
  EXPECT_EQ(err.str(), "engine: Combo4/Jumbo\n");
  EXPECT_EQ(out.str().rfind("http://127.0.0.1:9000/search/index.htp?qu=two words&ct=", 0), 0u);
  // No engine chosen by the lists, or "All".
  for (const char* none : {"Combo3/Deja", "Combo1/All"}) {
    EXPECT_EQ(Run({"query", "--engine", none, "-e", "x", "--program-dir", pd}), kNoMatch) << none;
    EXPECT_EQ(out.str(), "");
  }
  // A bad engines.ini line is reported and the default used.
  Put("engines.ini", "Combo1/Go = ftp://go.test\n");
  EXPECT_EQ(Run({"query", "--engine", "Combo1/Go", "-e", "x", "--program-dir", pd}), kMatched);
  EXPECT_EQ(out.str(), "http://www.go.com/Titles?qt=x&col=WW&sv=IS&lk=noframes&svx=home_searchbox\n");
  EXPECT_EQ(err.str().rfind("engines.ini: ", 0), 0u);
  EXPECT_NE(err.str().find("line 1 skipped"), std::string::npos);
}

TEST_F(SearchToolTest, CutPrintsThePageTextBoxAndWritesTheResult) {
  // The text box goes to the output; without --result the section written goes to the errors.
  const std::string page = Put("alta.htm", "ads Family Filter is off r1 r2 word count: 2 footer");
  EXPECT_EQ(Run({"cut", "--engine", "Combo1/AltaVista", "--program-dir", pd, page}), kMatched);
  EXPECT_EQ(out.str(), "Family Filter is off r1 r2 ");
  EXPECT_EQ(err.str(), "Family Filter is off r1 r2 \r\n");
  // --result appends; a second run adds a second record.
  const std::string result = Put("cats_search_result.htm", "<HTML>\r\n");
  EXPECT_EQ(Run({"cut", "--engine", "Combo1/AltaVista", "--result", result, "--program-dir", pd, page}), kMatched);
  EXPECT_EQ(Run({"cut", "--result", result, "--program-dir", pd, page}), kMatched);  // no engine: whole page
  EXPECT_EQ(out.str(), ReadFile(page));
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(ReadFile(result), "<HTML>\r\nFamily Filter is off r1 r2 \r\n" + ReadFile(page) + "\r\n");
  // The link pass writes its own section and leaves the text alone.
  const std::string links = Put("links.htm", "x AltaVista found 9 pages word count: 9");
  EXPECT_EQ(Run({"cut", "--engine", "Combo1/AltaVista", "--link-pass", "--program-dir", pd, links}), kMatched);
  EXPECT_EQ(out.str(), ReadFile(links));
  EXPECT_EQ(err.str(), "AltaVista found 9 pages \r\n");
}

TEST_F(SearchToolTest, HelpAndUsageErrors) {
  const std::string page = Put("p.htm", "x");
  const std::vector<std::string> usage[] = {
      {},
      {"find", "-e", "x", page},
      {"match", page},
      {"match", "-e", "x"},
      {"match", page, "-e"},
      {"match", "-x", "-e", "x", page},
      {"harvest"},
      {"harvest", "--base"},
      {"harvest", "-x", page},
      {"harvest", "--program-dir=", page},
      {"report"},
      {"report", page, page},
      {"report", page, "--out"},
      {"query", "-e", "x"},
      {"query", "--engine", "Combo1/AltaVista"},
      {"query", "--engine", "AltaVista", "-e", "x"},
      {"query", "--engine", "Combo1/Go", "-e", "x", "stray"},
      {"cut", "--program-dir", pd},
      {"cut", "--program-dir", pd, page, page},
      {"cut", "--result", (dir / "no" / "x.htm").string(), "--program-dir", pd, page},
      {"paths", "--program-dir"},
  };
  for (const auto& args : usage) {
    EXPECT_EQ(Run(args), kUsageError) << (args.empty() ? "" : args.back());
    EXPECT_EQ(out.str(), "");
  }
  const std::pair<std::vector<std::string>, std::string> help[] = {
      {{"match", "--help"}, "near"},
      {{"harvest", "--help"}, "--mailto"},
      {{"report", "-h"}, "--out FILE"},
      {{"query", "--help"}, "Combo5 (Misc.): Search The Net, Programming"},
      {{"cut", "-h"}, "--link-pass"},
      {{"paths", "--help"}, "$XDG_CONFIG_HOME"},
  };
  for (const auto& [args, text] : help) {
    EXPECT_EQ(Run(args), kMatched);
    EXPECT_NE(out.str().find(text), std::string::npos) << args[0];
  }
}

TEST_F(SearchToolTest, VersionAndPaths) {
  EXPECT_EQ(Run({"--version"}), kMatched);
  EXPECT_EQ(out.str().rfind(std::string("zorvik-search ") + kVersion, 0), 0u);

  // The program directory's endpoints file wins over the shipped one.
  EXPECT_EQ(Run({"paths", "--program-dir", pd}), kMatched);
  const std::string head =
      "program directory: " + pd + "\nsettings file: " + pd + "/karrow.ini\nshipped files:\n  " + pd + "\n";
  EXPECT_EQ(out.str().rfind(head, 0), 0u) << out.str();
  EXPECT_EQ(out.str().find("engines.ini: " + pd), std::string::npos);
  Put("engines.ini", "# mine\n");
  EXPECT_EQ(Run({"paths", "--program-dir", pd}), kMatched);
  EXPECT_NE(out.str().find("engines.ini: " + pd + "/engines.ini\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace zorvik::cli
