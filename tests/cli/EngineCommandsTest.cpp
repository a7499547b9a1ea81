#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/MatchCommand.h"
#include "cli/SearchTool.h"

namespace zorvik::cli {
namespace {

namespace fs = std::filesystem;

class EngineCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zorvik-cli-engines-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string File(const std::string& name, const std::string& content) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunSearchTool(args, out, err);
  }

  fs::path dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(EngineCommandsTest, QueryPrintsTheAddressOfTheDispatchedEngine) {
  const std::string pd = dir.string();
  EXPECT_EQ(Run({"query", "--engine", "Combo1/AltaVista", "-e", "two words", "--program-dir", pd}), kMatched);
  EXPECT_EQ(out.str(),
            "http://www.altavista.com/cgi-bin/query?pg=q&kl=XX&stype=stext&q=two words&search.x=17&search.y=6\n");
  EXPECT_EQ(err.str(), "");

  // Several lists: the robot's dispatch picks, and the choice is reported.
  File("engines.ini", "Combo4/Jumbo = http://127.0.0.1:9000\n");
  EXPECT_EQ(Run({"query", "--engine", "Combo3/Deja", "--engine", "Combo4/Jumbo", "--engine", "Combo5/eBay",
                 "-e", "x", "--program-dir", pd}),
            kMatched);
  EXPECT_EQ(err.str(), "engine: Combo4/Jumbo\n");
  EXPECT_EQ(out.str().rfind("http://127.0.0.1:9000/search/index.htp?qu=x&ct=", 0), 0u);

  // No engine chosen by the lists, or "All".
  EXPECT_EQ(Run({"query", "--engine", "Combo3/Deja", "-e", "x", "--program-dir", pd}), kNoMatch);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"query", "--engine", "Combo1/All", "-e", "x", "--program-dir", pd}), kNoMatch);

  // A bad engines.ini line is reported and the default used.
  File("engines.ini", "Combo1/Go = ftp://go.test\n");
  EXPECT_EQ(Run({"query", "--engine", "Combo1/Go", "-e", "x", "--program-dir", pd}), kMatched);
  EXPECT_EQ(out.str(), "http://www.go.com/Titles?qt=x&col=WW&sv=IS&lk=noframes&svx=home_searchbox\n");
  EXPECT_EQ(err.str().rfind("engines.ini: ", 0), 0u);
  EXPECT_NE(err.str().find("line 1 skipped"), std::string::npos);
}

TEST_F(EngineCommandsTest, QueryUsageErrors) {

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"query", "-e", "x"},
           {"query", "--engine", "Combo1/AltaVista"},
           {"query", "--engine", "Combo1/Nothing", "-e", "x"},
           {"query", "--engine", "AltaVista", "-e", "x"},
           {"query", "--engine", "Combo1/Go", "--engine", "Combo1/Lycos", "-e", "x"},
           {"query", "--engine", "Combo1/Go", "-e", "x", "stray"},
       }) {
    EXPECT_EQ(Run(bad), kUsageError) << bad.back();
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("usage: zorvik-search query"), std::string::npos);
  }
  EXPECT_EQ(Run({"query", "--help"}), kMatched);
  EXPECT_NE(out.str().find("engines.ini"), std::string::npos);
  EXPECT_NE(out.str().find("Combo5 (Misc.): Search The Net, Programming"), std::string::npos);
}

TEST_F(EngineCommandsTest, CutPrintsThePageTextBoxAndWritesTheResult) {
  const std::string pd = dir.string();
  const std::string page = File("alta.htm", "ads Family Filter is off r1 r2 word count: 2 footer");
  EXPECT_EQ(Run({"cut", "--engine", "Combo1/AltaVista", "--program-dir", pd, page}), kMatched);
  EXPECT_EQ(out.str(), "Family Filter is off r1 r2 ");
  EXPECT_EQ(err.str(), "Family Filter is off r1 r2 \r\n");

  // --result appends; a second run adds a second record.
  const std::string result = (dir / "cats_search_result.htm").string();
  File("cats_search_result.htm", "<HTML>\r\n");
  EXPECT_EQ(Run({"cut", "--engine", "Combo1/AltaVista", "--result", result, "--program-dir", pd, page}), kMatched);
  EXPECT_EQ(Run({"cut", "--result", result, "--program-dir", pd, page}), kMatched);  // no engine: whole page
  EXPECT_EQ(out.str(), Read(page));
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(Read(result), "<HTML>\r\nFamily Filter is off r1 r2 \r\n" + Read(page) + "\r\n");

  // The link pass writes its own section and leaves the text alone.
  const std::string links = File("links.htm", "x AltaVista found 9 pages word count: 9");
  EXPECT_EQ(Run({"cut", "--engine", "Combo1/AltaVista", "--link-pass", "--program-dir", pd, links}), kMatched);
  EXPECT_EQ(out.str(), Read(links));
  EXPECT_EQ(err.str(), "AltaVista found 9 pages \r\n");

  EXPECT_EQ(Run({"cut", "--program-dir", pd, (dir / "missing.htm").string()}), kUsageError);
  EXPECT_EQ(Run({"cut", "--program-dir", pd}), kUsageError);
  EXPECT_EQ(Run({"cut", "--program-dir", pd, page, page}), kUsageError);
  EXPECT_EQ(Run({"cut", "--result", (dir / "no" / "x.htm").string(), "--program-dir", pd, page}), kUsageError);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"cut", "-h"}), kMatched);
  EXPECT_NE(out.str().find("--link-pass"), std::string::npos);
}

}  // namespace
}  // namespace zorvik::cli
