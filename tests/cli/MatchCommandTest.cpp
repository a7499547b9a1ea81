#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CommandHelpers.h"
#include "cli/MatchCommand.h"
#include "cli/SearchTool.h"

namespace zorvik::cli {
namespace {

namespace fs = std::filesystem;

class MatchCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zorvik-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Page(const std::string& name, const std::string& content) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
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

TEST_F(MatchCommandTest, PrintsMatchingFilesInArgumentOrder) {
  const std::string robots = Page("robots.htm", "<h1>Web ROBOTS</h1> crawl the <b>web</b>");
  const std::string cats = Page("cats.htm", "<p>cats only</p>");
  const std::string spiders = Page("spiders.htm", "a spider is a robot");
  EXPECT_EQ(Run({"match", "-e", "robot", spiders, cats, robots}), kMatched);
  EXPECT_EQ(out.str(), spiders + "\n" + robots + "\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(Run({"match", "--expression=zebra", spiders, cats}), kNoMatch);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"match", "-e", "not robot", "--", cats}), kMatched);
  EXPECT_EQ(out.str(), cats + "\n");
}

TEST_F(MatchCommandTest, FilesThatCannotBeReadWholeAreRefusedBeforeReading) {
  // A device that never ends, a pipe nobody writes to, a directory, a
  // (sparse) file above the limit, a missing file: each command says why
  // and passes the file over, reading not a byte of it.
  const std::string pipe = (dir / "pipe.htm").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string huge = Page("huge.htm", "");
  fs::resize_file(huge, kMaxInputBytes + 1);
  const std::string good = Page("good.htm", "robot");
  const std::pair<std::string, std::string> refused[] = {{"/dev/zero", "not a regular file"},
                                                         {pipe, "not a regular file"},
                                                         {dir.string(), "not a regular file"},
                                                         {huge, "larger than 1 GiB"},
                                                         {(dir / "missing.htm").string(), "No such file or directory"}};
  for (const auto& [path, why] : refused) {
    const std::string said = "zorvik-search: cannot read " + path + ": " + why + "\n";
    EXPECT_EQ(Run({"match", "-e", "robot", path, good}), kMatched) << path;
    EXPECT_EQ(out.str(), good + "\n");
    EXPECT_EQ(err.str(), said);
    EXPECT_EQ(Run({"harvest", "--program-dir", dir.string(), path}), kNoMatch) << path;
    EXPECT_EQ(err.str(), said);
    EXPECT_EQ(Run({"cut", "--program-dir", dir.string(), path}), kUsageError) << path;
    EXPECT_EQ(err.str(), said);
    EXPECT_EQ(Run({"report", path, "--out", (dir / "r.htm").string()}), kNoMatch) << path;
    EXPECT_EQ(err.str(), said);
  }
  EXPECT_FALSE(fs::exists(dir / "r.htm"));
}

TEST_F(MatchCommandTest, MessageBoxesGoToStandardErrorAsTitleAndText) {
  const std::string page = Page("p.htm", "a cat");
  EXPECT_EQ(Run({"match", "-e", "(cat dog", page, page}), kMatched);
  EXPECT_EQ(err.str(),
            "Invalid Search String: Expected )\r\n but found dog.\n"
            "Invalid Search String: Expected )\r\n but found dog.\n")
      << "once per page tested";
}

TEST_F(MatchCommandTest, UsageErrorsExitWithTwo) {
  const std::string page = Page("p.htm", "x");
  EXPECT_EQ(Run({}), kUsageError);
  EXPECT_EQ(Run({"find", "-e", "x", page}), kUsageError);
  EXPECT_EQ(Run({"match", page}), kUsageError);
  EXPECT_NE(err.str().find("no search expression"), std::string::npos);
  EXPECT_EQ(Run({"match", "-e", "x"}), kUsageError);
  EXPECT_EQ(Run({"match", page, "-e"}), kUsageError);
  EXPECT_EQ(Run({"match", "-x", "-e", "x", page}), kUsageError);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"match", "--help"}), kMatched);
  EXPECT_NE(out.str().find("near"), std::string::npos);
}

}  // namespace
}  // namespace zorvik::cli
