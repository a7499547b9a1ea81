// The evaluator on hand-picked cases: what the differential test cannot
// reach (long pages, deep nesting, the stop, the empty expression) and a
// table that pins the reading of the language independently of the
// reference evaluator.
#include <gtest/gtest.h>

#include <string>

#include "query/clsDocumentAnalyst.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

class EvaluationTest : public ::testing::Test {
 protected:
  bool Matches(std::string_view expression, std::string_view page) {
    analyst.Init(expression);
    return analyst.DocumentMatches(page);
  }

  testing::FakeHost host;
  SearchState state;
  clsDocumentAnalyst analyst{host, state};
};

TEST_F(EvaluationTest, TheLanguageReadLiterally) {
  const std::string gap150(150, ' ');
  const struct {
    std::string expression, page;
    bool matches;
  } cases[] = {
      {"CAT", "<b>Concatenate</b>", true},  // substrings, any case
      {"ab", "a<i>b</i>", true},            // a tag leaves no blank behind
      {"\"new york\"", "new  york", false},
      {"&amp;", "fish &amp; chips", true},  // entities stay as written
      {"a or b and c", "a", false},         // (a or b) and c
      {"x and y or z", "z", false},  // x and (y or z)
      {"cat dog", "cat", true},      // adjacency is no operator: dog is never read
      {"and cat", "band", true},     // a keyword as operand is a word
      {"not not a", "knot", false},  // searches for "not", leaves a over
      {"cat and", "cat", false},     // a missing operand is the empty word, found nowhere
      {"a near b", "a" + std::string(199, ' ') + "b", true},  // fewer than 200 between
      {"a near b", "b" + std::string(200, ' ') + "a", false},
      {"a near b", "a<" + std::string(300, 'x') + ">b", true},  // distance in prepared text
      {"((a and b) near c) near d", "d" + std::string(1000, ' ') + "a b" + gap150 + "c", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Matches(c.expression, c.page), c.matches) << c.expression << " | " << c.page;
}

TEST_F(EvaluationTest, AnEmptyExpressionMatchesNothingWithoutReadingThePage) {
  EXPECT_FALSE(Matches("    ", "    "));
  EXPECT_TRUE(host.statusHistory.empty());
  EXPECT_EQ(analyst.Documents(), nullptr);
}

TEST_F(EvaluationTest, NearJudgesTruePositionsOnLongPages) {
  // With positions cut to 16 bits a word at 40000 would sit at 0 and look
  // close to one at 100.
  std::string page(50000, ' ');
  page.replace(99, 1, "a");
  page.replace(39999, 1, "b");
  EXPECT_FALSE(Matches("a near b", page));
  EXPECT_TRUE(Matches("a and b", page));
  page.replace(39899, 1, "a");
  ASSERT_TRUE(Matches("a and b", page));
  EXPECT_EQ(analyst.LastResult().List().Matches.back(), (clsMatch{39900, 40001}));
}

TEST_F(EvaluationTest, DeepBracketsAndLongChainsStayOnTheStack) {
  const int depth = 100000;
  std::string deep(depth, '(');
  deep += "cat";
  EXPECT_FALSE(Matches(deep, "cat")) << "brackets past the nesting limit are searched for as text";
  EXPECT_EQ(host.messages.size(), static_cast<std::size_t>(clsDocumentAnalyst::kMaxNesting));
  EXPECT_TRUE(Matches(deep, std::string(depth, '(') + "cat"));

  std::string chain = "a";
  for (int i = 0; i < 20000; ++i) chain += " near a or a and a";
  EXPECT_TRUE(Matches(chain, "a"));
  EXPECT_FALSE(Matches(chain, "b"));
}

TEST_F(EvaluationTest, AStopAbandonsTheTestQuietly) {
  std::string page;
  for (int i = 0; i < 300; ++i) page += "ab ";
  page += "c d";
  const std::string expression = "((a and b) near c) near d";
  ASSERT_TRUE(Matches(expression, page));

  const std::uint64_t wordSearchDone = host.PumpCount() + 602;  // a yield per occurrence of a, b, c, d
  host.onPump = [&] {
    if (host.PumpCount() > wordSearchDone) state.StopRequested = 1;  // while pairing
  };
  EXPECT_FALSE(Matches(expression, page));
  EXPECT_TRUE(analyst.LastCost().Stopped);
  // A stop while the page is prepared ends the test there.
  state.StopRequested = 0;
  host.onPump = [&] { state.StopRequested = 1; };
  EXPECT_FALSE(Matches("x and x and x", "x<b>x<i>x"));
  EXPECT_EQ(host.Status(1), "Link Added..... ");
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace zorvik
