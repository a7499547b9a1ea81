#include <gtest/gtest.h>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"
#include "engines/ResultSectionCut.h"
#include "engines/SearchResultFile.h"
#include "support/TestFiles.h"

namespace zorvik {
namespace {

struct MemorySink : SectionSink {
  void WriteSection(std::string_view text) override { writes.emplace_back(text); }
  std::vector<std::string> writes;
};

using Cut = std::pair<std::string, std::vector<std::string>>;
using W = std::vector<std::string>;

class CutTest : public ::testing::Test {
 protected:
  // Runs the main cut over `page` with one engine chosen ("ComboN/Name", or
  // "" for none).
  void CutPage(const std::string& engine, const std::string& page) {
    Choose(engine);
    form.txtOutput = page;
    ResultSectionCut(form, state, endpoints, sink).Cut();
  }
  // The box and the writes after cutting `page` alone.
  std::pair<std::string, std::vector<std::string>> CutOf(const std::string& engine, const std::string& page) {
    sink.writes.clear();
    CutPage(engine, page);
    return {form.txtOutput, sink.writes};
  }
  void Choose(const std::string& engine) {
    for (int n = 1; n <= 5; ++n) form.Combo(n).clear();
    if (!engine.empty()) form.Combo(engine[5] - '0') = engine.substr(7);
  }

  RobotForm form;
  SearchState state;
  EngineEndpoints endpoints;
  MemorySink sink;
};

// Each kind of cut on a page with both markers in odd letter case, and the
// page left whole (and written whole by writing rows) without its start marker.
TEST_F(CutTest, EachKindOfRow) {
  struct Row {
    const char* engine;
    char rule;  // 'b' between, 'l' from lower-cased, 's' from one short, '2' between then lower-cased
    const char* start;
    const char* end;
    bool written;
  };
  const Row rows[] = {
      {"Combo1/AltaVista", 'b', "Family Filter is off", "word count: ", true},
      {"Combo1/Deja", 'l', "messages related to ", "", false},
      {"Combo1/1Blink", '2', "pages that match your query", "Find it!", true},
      {"Combo4/Jumbo", 'l', "found: ", "", true},
      {"Combo5/Auction Search", 's', "Search returned", "", true},
  };
  const auto swapCase = [](std::string s) {
    for (char& c : s) c = std::islower(static_cast<unsigned char>(c)) ? static_cast<char>(std::toupper(c))
                                                                      : static_cast<char>(std::tolower(c));
    return s;
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.engine);
    const std::string start = swapCase(row.start);
    const std::string end = swapCase(row.end);
    sink.writes.clear();
    CutPage(row.engine, "<p>Ads</p> " + start + " Result One " + end + " Footer.");
    std::string section;
    switch (row.rule) {
      case 'b': section = start + " Result One "; break;
      case '2': section = text::LCase(start + " Result One "); break;
      case 'l': section = text::LCase(start + " Result One " + end + " Footer."); break;
      case 's': section = start + " Result One " + end + " Footer"; break;
    }
    EXPECT_EQ(form.txtOutput, section);
    const W written = row.written ? W{row.rule == '2' ? start + " Result One " : section} : W{};
    EXPECT_EQ(sink.writes, written);

    sink.writes.clear();
    const std::string noStart = "NO Markers " + end + " Here";
    CutPage(row.engine, noStart);
    EXPECT_EQ(form.txtOutput, noStart);
    EXPECT_EQ(sink.writes, row.written ? W{noStart} : W{});
  }
}

TEST_F(CutTest, BetweenTakesFirstOccurrencesAndFailsWhenTheEndComesFirst) {
  std::string page(6000, 'x');
  page.replace(499, 20, "Family Filter is off");
  page.replace(4499, 12, "word count: ");
  page.replace(5000, 12, "word count: ");
  EXPECT_EQ(CutOf("Combo1/AltaVista", page), (Cut{page.substr(499, 4000), {page.substr(499, 4000)}}));
  // No end marker: the whole page is written and kept.
  const std::string noEnd = "Family Filter is off, no count";
  EXPECT_EQ(CutOf("Combo1/AltaVista", noEnd), (Cut{noEnd, {noEnd}}));
  // The first end marker lies before the start marker: no cut, even with a
  // later end marker after it.
  const std::string early = "Next Search (top) ... MP3 for Beginners ... Next Search ... MP3 for Beginners";
  EXPECT_EQ(CutOf("Combo5/Mp3", early.substr(18)), (Cut{early.substr(18), {early.substr(18)}}));
  EXPECT_EQ(CutOf("Combo5/Mp3", early).first, "Next Search (top) ... ");
  // Marker case: "web" inside a link before the results starts the section.
  EXPECT_EQ(CutOf("Combo1/HotBot", "<a href=\"x.web\">x</a> WEB RESULTS ... SECOND OPINION").first,
            "web\">x</a> WEB RESULTS ... SECOND ");
}

TEST_F(CutTest, FromOneShortDropsTheLastCharacter) {
  // Only the marker and one more character: the marker alone remains.
  EXPECT_EQ(CutOf("Combo5/Auction Search", "Search returned!").first, "Search returned");
}

TEST_F(CutTest, PagesWithoutARowAreWrittenWholeAndKept) {
  const std::string page = "Search Results: Whole PAGE";
  for (const char* engine : {"", "Combo1/Questfinder", "Combo4/Questfinder", "Combo5/eBay", "Combo3/Deja", "Combo1/All"})
    EXPECT_EQ(CutOf(engine, page), (Cut{page, {page}})) << engine;
  // An empty page (a fetch that did not complete) writes an empty line.
  EXPECT_EQ(CutOf("Combo1/Lycos", "").second, W{""});
}

TEST_F(CutTest, TheListsAreResolvedAsForTheQuery) {
  // Combo1 wins over Combo4, and the newsgroup "Deja" hands over to later lists.
  const std::string page = "Found: 3 and MESSAGES RELATED TO cats";
  form.Combo4 = "Jumbo";
  for (int list : {1, 3}) {
    form.Combo(list) = "Deja";
    form.txtOutput = page;
    sink.writes.clear();
    ResultSectionCut(form, state, endpoints, sink).Cut();
    EXPECT_EQ(form.txtOutput, list == 1 ? "messages related to cats" : "found: 3 and messages related to cats");
    EXPECT_EQ(sink.writes.size(), list == 1 ? 0u : 1u);  // only Jumbo's row writes
    form.Combo(list).clear();
  }
}

TEST_F(CutTest, StopLeavesEverythingAlone) {
  state.StopRequested = 1;
  CutPage("Combo1/Deja", "A Messages Related To b");
  EXPECT_EQ(form.txtOutput, "A Messages Related To b");
  CutPage("", "whole");
  EXPECT_TRUE(sink.writes.empty());
  ResultSectionCut(form, state, endpoints, sink).LinkPassCut("AltaVista found 1 word count: ");
  EXPECT_TRUE(sink.writes.empty());
}

TEST_F(CutTest, MarkersWithAnEndpointFollowTheConfiguredOne) {
  endpoints.Parse("Combo2/Questfinder = http://q.test:8080\nCombo5/Anything = http://any.test\n");
  const std::string oldLogo = "<img src=\"http://www.questfinder.com/qlogo.gif\"> Hits";
  EXPECT_EQ(CutOf("Combo2/Questfinder", oldLogo).first, oldLogo);
  EXPECT_EQ(CutOf("Combo2/Questfinder", "<img src=\"HTTP://Q.test:8080/qlogo.gif\"> Hits").first,
            "http://q.test:8080/qlogo.gif\"> hits");
  const std::string section = "Your search for x <a href=\"";
  EXPECT_EQ(CutOf("Combo5/Anything", section + "http://any.test/?search=2\">"), (Cut{section, {section}}));
}

TEST_F(CutTest, LinkPassWritesOnlyAndOnlyForWritingRows) {
  auto linkPass = [&](const std::string& engine, std::string_view page) {
    Choose(engine);
    form.txtOutput = "box";
    sink.writes.clear();
    ResultSectionCut(form, state, endpoints, sink).LinkPassCut(page);
    EXPECT_EQ(form.txtOutput, "box") << engine;
    return sink.writes;
  };
  const std::string alta = "Family Filter is off. ALTAVISTA FOUND 3 pages: a b c Word Count: 3";
  EXPECT_EQ(linkPass("Combo1/AltaVista", alta), W{"ALTAVISTA FOUND 3 pages: a b c "});
  EXPECT_EQ(linkPass("Combo1/HotBot", "web x WEB RESULTS y SECOND OPINION"), W{"WEB RESULTS y "});
  EXPECT_EQ(linkPass("Combo5/Programming", "<h2>x Results for: y Back to top of page"), W{"Results for: y "});
  EXPECT_EQ(linkPass("Combo1/Questfinder", "http://www.questfinder.com/qlogo.gif R FREE Java Script Search Engine"),
            W{"http://www.questfinder.com/qlogo.gif R "});
  // A failed cut of a writing row writes the page whole.
  EXPECT_EQ(linkPass("Combo1/Go", "most relevant to, no end"), W{"most relevant to, no end"});
  // Rows that do not write, and engines without a row, write nothing.
  for (const char* silent : {"Combo2/Questfinder", "Combo1/Deja", "Combo5/eBay", ""})
    EXPECT_EQ(linkPass(silent, "Search Results http://www.questfinder.com/qlogo.gif found: search.cgi"), W{})
        << silent;
}

TEST(SearchResultFileTest, AppendsOneRecordPerWriteAndIgnoresWritesWhileClosed) {
  namespace fs = std::filesystem;
  const zorvik::testing::TempDir scratch;
  const fs::path& dir = scratch.path();
  const fs::path path = SearchResultFile::PathFor(dir, "cats");
  EXPECT_EQ(path.filename(), "cats_search_result.htm");
  std::ofstream(path, std::ios::binary) << "<HTML>\r\n";
  SearchResultFile file;
  file.WriteSection("lost");  // closed
  ASSERT_TRUE(file.Open(path));
  file.WriteSection("<h2>one</h2>\nsecond line");
  file.WriteSection("");
  file.Close();
  file.WriteSection("lost too");
  ASSERT_TRUE(file.Open(path));
  file.WriteSection("three");
  EXPECT_FALSE(file.Open(dir / "missing-dir" / "x.htm"));
  EXPECT_FALSE(file.IsOpen());
  file.WriteSection("lost again");
  EXPECT_EQ(zorvik::testing::ReadFile(path), "<HTML>\r\n<h2>one</h2>\nsecond line\r\n\r\nthree\r\n");
}

}  // namespace
}  // namespace zorvik
