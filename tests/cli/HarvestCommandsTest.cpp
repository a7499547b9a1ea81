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

const std::string kPad = "Lorem-ipsum-dolor-sit-amet-con";

class HarvestCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  std::string Put(const std::string& name, const std::string& content) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  std::string Get(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunSearchTool(args, out, err);
  }

  fs::path dir = fs::temp_directory_path() / ("zorvik-cli-harvest-" + std::to_string(::getpid()));
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(HarvestCommandsTest, HarvestsFilesInOrderWithOneHarvester) {
  const std::string a = Put("a.htm", kPad + " john@example.com. ");
  const std::string b = Put("b.htm", kPad + " jane@example.com ");
  const std::string none = Put("none.htm", "<p>no address</p>");
  const std::string d = dir.string();
  EXPECT_EQ(Run({"harvest", "--program-dir", d, a, a, none, b, a}), kMatched);
  EXPECT_EQ(out.str(), "john@example.com\njane@example.com\njohn@example.com\n");
  EXPECT_TRUE(fs::exists(dir / "zorvik_mailfile.txt"));
  EXPECT_EQ(Run({"harvest", "--program-dir=" + d, "--base=crawl", b, (dir / "missing").string()}), kMatched);
  EXPECT_TRUE(fs::exists(dir / "crawl_mailfile.txt"));
  EXPECT_NE(err.str().find("cannot read"), std::string::npos);
  EXPECT_EQ(Run({"harvest", "--program-dir", d, none}), kNoMatch);
  EXPECT_EQ(out.str(), "");
  // An address that cannot be written (a full disk, a missing folder) is
  // printed, and the failure said, with its own exit status.
  fs::create_symlink("/dev/full", dir / "full_mailfile.txt");
  EXPECT_EQ(Run({"harvest", "--program-dir", d, "--base", "full", a}), 3);
  EXPECT_EQ(out.str(), "john@example.com\n");
  EXPECT_EQ(err.str(), "zorvik-search: cannot write " + d + "/full_mailfile.txt: No space left on device\n");
  EXPECT_EQ(Run({"harvest", "--program-dir", d + "/none", b}), 3);
  EXPECT_NE(err.str().find("No such file or directory"), std::string::npos);
}

TEST_F(HarvestCommandsTest, MailtoPrintsOneLinePerFileAndWritesNothing) {
  const std::string link = Put("l.htm", "<a href=\"mailto:me@x.org\">me</a>");
  const std::string none = Put("n.htm", kPad + " john@example.com ");
  EXPECT_EQ(Run({"harvest", "--program-dir", dir.string(), "--mailto", none, link}), kMatched);
  EXPECT_EQ(out.str(), "\nme@x.org\n");
  EXPECT_FALSE(fs::exists(dir / "zorvik_mailfile.txt"));
}

TEST_F(HarvestCommandsTest, ReportBesideTheUrlFileOrWhereAsked) {
  const std::string urls = Put("found.txt", "http://a/\nA\n\n");
  EXPECT_EQ(Run({"report", urls}), kMatched);
  EXPECT_EQ(Run({"report", urls, "--out", (dir / "r.htm").string()}), kMatched);
  EXPECT_NE(Get(dir / "found_searched.htm").find("http://a/"), std::string::npos);
  EXPECT_EQ(Get(dir / "r.htm"), Get(dir / "found_searched.htm"));
  EXPECT_EQ(Run({"report", urls, "--out", (dir / "no" / "r.htm").string()}), kNoMatch);
  EXPECT_NE(err.str().find("cannot write the report"), std::string::npos);
}

TEST_F(HarvestCommandsTest, HelpAndUsageErrors) {
  EXPECT_EQ(Run({"harvest", "--help"}), kMatched);
  EXPECT_NE(out.str().find("--mailto"), std::string::npos);
  EXPECT_EQ(Run({"report", "-h"}), kMatched);
  EXPECT_NE(out.str().find("--out FILE"), std::string::npos);
  const std::string page = Put("p.htm", "x");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"harvest"}, {"harvest", "--base"}, {"harvest", "-x", page},
        {"harvest", "--program-dir=", page}, {"report"}, {"report", page, page}, {"report", page, "--out"}}) {
    EXPECT_EQ(Run(args), kUsageError) << args.back();
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
}  // namespace zorvik::cli
