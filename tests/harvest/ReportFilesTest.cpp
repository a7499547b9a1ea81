#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "harvest/PageTitle.h"
#include "harvest/ReportFiles.h"
#include "support/TestFiles.h"

namespace zorvik::harvest {
namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "<HTML>\r\n<body bgcolor=\"#FBFCD6\" text=\"#FF0000\">\r\n<Table border=1 width=95%>\r\n"
    "<TR><td bgcolor=\"#FF00FF\">\r\n<h1><center>Zorvik Result</h1>\r\n</TD></tr>\r\n";
const std::string kFooter = "</HTML>\r\n</Body>\r\n";

std::string Row(const std::string& a, const std::string& t, const std::string& mailLine) {
  return "<TR><td>\r\n<a href=\"" + a + "\">" + a + "</a><br>\r\n<br>" + t + "\r\n" + mailLine +
         "\r\n</TD></tr>\r\n";
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.ResultBaseName = "run";
    state.UrlFilePath = (dir / "run.txt").string();
    ReportReadyMark() = 0;
  }

  static void Put(const fs::path& p, const std::string& content) { testing::WriteFile(p, content); }
  static std::string Get(const fs::path& p) { return testing::ReadFile(p); }
  std::string Searched(const std::string& urlFile) {
    Put(state.UrlFilePath, urlFile);
    EXPECT_TRUE(reports.WriteSearchedReport());
    return Get(dir / "run_searched.htm");
  }

  testing::TempDir scratch;
  const fs::path dir = scratch.path();
  RobotForm form;
  SearchState state;
  ReportFiles reports{form, state, dir};
};

TEST_F(ReportTest, SearchedReportRows) {
  EXPECT_EQ(Searched("http://a.org/\r\nA page\r\n\r\n"), kHeader + Row("http://a.org/", "A page", "&nbsp;") + kFooter);
  EXPECT_EQ(ReportReadyMark(), 1);
  EXPECT_EQ(form.BrowserLocation, (dir / "run_searched.htm").string());
  EXPECT_EQ(Searched("http://a.org/\nT\nno address\nhttp://b.org/\nU\nme@b.org\n"),
            kHeader + Row("http://a.org/", "T", "&nbsp;") +
                Row("http://b.org/", "U", "<a href=\"mailto:me@b.org\">me@b.org</a><br>") + kFooter);
  // An incomplete last record still gives a whole row.
  EXPECT_EQ(Searched("http://a.org/\r\nT\r\n\r\nhttp://c.org/\r\nC"),
            kHeader + Row("http://a.org/", "T", "&nbsp;") + Row("http://c.org/", "C", "&nbsp;") + kFooter);
  EXPECT_EQ(Searched("http://c.org/"), kHeader + Row("http://c.org/", "", "&nbsp;") + kFooter);
  EXPECT_EQ(Searched(""), kHeader + kFooter);
  // Only http, https, ftp and mailto addresses become links.
  EXPECT_EQ(Searched("javascript:alert(document.cookie)\r\nJ\r\njavascript:x@y\r\nFTP://f/\r\nF\r\n\r\n"),
            kHeader + "<TR><td>\r\njavascript:alert(document.cookie)<br>\r\n<br>J\r\n" +
                "<a href=\"mailto:javascript:x@y\">javascript:x@y</a><br>\r\n</TD></tr>\r\n" +
                Row("FTP://f/", "F", "&nbsp;") + kFooter);
  // Text from the web cannot add markup.
  EXPECT_EQ(Searched("http://x/\"onmouseover=\"f()<b>\r\n<script>x</script>\r\nm\"@x<b>\r\n"),
            kHeader +
                "<TR><td>\r\n<a href=\"http://x/%22onmouseover=%22f()<b>\">"
                "http://x/\"onmouseover=\"f()&lt;b&gt;</a><br>\r\n"
                "<br>&lt;script&gt;x&lt;/script&gt;\r\n"
                "<a href=\"mailto:m%22@x<b>\">m\"@x&lt;b&gt;</a><br>\r\n</TD></tr>\r\n" +
                kFooter);
}

TEST_F(ReportTest, ReportKeepsUpWithAGrowingUrlFileWithoutBeingRewritten) {
  const fs::path report = dir / "run_searched.htm";
  std::string urls;
  const auto grow = [&](const std::string& more) {
    urls += more;
    std::ofstream(state.UrlFilePath, std::ios::binary | std::ios::app) << more;
    ASSERT_TRUE(reports.WriteSearchedReport());
    ASSERT_TRUE(WriteSearchedReportFile(state.UrlFilePath, dir / "whole.htm"));
    EXPECT_EQ(Get(report), Get(dir / "whole.htm")) << urls;
  };
  grow("http://a/\r\nA\r\n\r\n");
  struct stat first {};
  ::stat(report.c_str(), &first);
  // Records arriving whole and in pieces, and an empty line that starts one.
  for (const char* more : {"http://b/\r\nB\r\nme@b.org\r\n", "http://c/", "\r\nC", "\r\n\r\n", "\n",
                           "\n\nhttp://d/\nD\n\n"})
    grow(more);
  struct stat later {};
  ::stat(report.c_str(), &later);
  EXPECT_EQ(later.st_ino, first.st_ino) << "rewritten whole";
  // A report changed by someone else, or a URL file started over, is
  // rewritten whole.
  Put(report, "");
  grow("http://e/\r\nE\r\n\r\n");
  urls.clear();
  fs::remove(state.UrlFilePath);
  grow("http://f/\r\nF\r\n\r\n");
  EXPECT_EQ(Get(report), kHeader + Row("http://f/", "F", "&nbsp;") + kFooter);
}

TEST_F(ReportTest, WhereTheReportGoesAndWhatThePaneShows) {
  Put(state.UrlFilePath, "http://a/\r\nT\r\n\r\n");
  state.SpideredFilePath = (dir / "spidered_run.htm").string();
  EXPECT_TRUE(reports.WriteSearchedReport());
  EXPECT_TRUE(fs::exists(state.SpideredFilePath));
  EXPECT_FALSE(fs::exists(dir / "run_searched.htm"));
  EXPECT_EQ(form.BrowserLocation, state.SpideredFilePath);
  form.chkStay = true;
  EXPECT_TRUE(reports.WriteSearchedReport());
  EXPECT_EQ(form.BrowserLocation, (dir / "run_search_result.htm").string());
}

TEST_F(ReportTest, AFailedRewriteLeavesTheOldReport) {
  Put(dir / "run_searched.htm", "old report");
  form.BrowserLocation = "before";
  EXPECT_FALSE(reports.WriteSearchedReport()) << "no URL file";
  fs::create_directory(state.UrlFilePath);
  EXPECT_FALSE(reports.WriteSearchedReport()) << "URL file is a directory";
  EXPECT_EQ(Get(dir / "run_searched.htm"), "old report");
  EXPECT_EQ(ReportReadyMark(), 0);
  EXPECT_EQ(form.BrowserLocation, "before");

  Put(dir / "u.txt", "http://a/\r\nT\r\n\r\n");
  fs::create_directory(dir / "target.htm");
  EXPECT_FALSE(WriteSearchedReportFile(dir / "u.txt", dir / "target.htm"));
  EXPECT_FALSE(WriteSearchedReportFile(dir / "u.txt", dir / "no" / "such.htm"));
  std::size_t entries = 0;
  for (const auto& e : fs::directory_iterator(dir)) entries += e.exists() ? 1 : 0;
  EXPECT_EQ(entries, 4u) << "no temporary file left behind";
}

TEST_F(ReportTest, LinksReport) {
  EXPECT_FALSE(reports.WriteLinksReport()) << "no links log yet";
  EXPECT_FALSE(fs::exists(reports.LinksReportPath()));
  Put(reports.LinksLogPath(), "");
  EXPECT_TRUE(reports.WriteLinksReport());
  EXPECT_EQ(Get(dir / "links.htm"), kHeader + kFooter);
  EXPECT_EQ(ReportReadyMark(), 1);
  Put(reports.LinksLogPath(), "http://a/\r\nhttp://b/<i>\n");
  EXPECT_TRUE(reports.WriteLinksReport());
  EXPECT_EQ(Get(dir / "links.htm"),
            kHeader + "<TR><td>\r\n<a href=\"http://a/\">http://a/</a><br>\r\n</TD></tr>\r\n" +
                "<TR><td>\r\n<a href=\"http://b/<i>\">http://b/&lt;i&gt;</a><br>\r\n</TD></tr>\r\n" + kFooter);
}

TEST(PageTitle, TakenFromTheTitleTag) {
  EXPECT_EQ(TitleOf("<html><TITLE>Big Title</Title>"), "Big Title");
  EXPECT_EQ(TitleOf("<title></title>"), "");
  EXPECT_EQ(TitleOf("abcdefghij</title>"), "ghij") << "no <title>: from the 7th character";
  EXPECT_EQ(TitleOf("<title>Two\r\nlines\nand\rmore\tand\x1b[1mbold</title>"), "Two lines and more and [1mbold");
  EXPECT_EQ(TitleOf("<title>open"), std::nullopt);
  EXPECT_EQ(TitleOf("</title><title>late"), std::nullopt);
  EXPECT_EQ(TitleOf("abc</title>"), std::nullopt);
  RobotForm form;
  form.PageTitle = "previous";
  form.txtOutput = "<p>no title here";
  ExtractTitle(form);
  EXPECT_EQ(form.PageTitle, "previous");
  form.txtOutput = "<title>new</title>";
  ExtractTitle(form);
  EXPECT_EQ(form.PageTitle, "new");
}

}  // namespace
}  // namespace zorvik::harvest
