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
  // The written-out list of the whole expression for the last page.
  clsMatchLists Spans() const { return analyst.LastResult().List(); }

  testing::FakeHost host;
  SearchState state;
  clsDocumentAnalyst analyst{host, state};
};

TEST_F(EvaluationTest, WordsAreSubstringsFoundWithoutRegardToCase) {
  EXPECT_TRUE(Matches("cat", "Concatenate"));
  EXPECT_TRUE(Matches("CAT", "<b>the cat</b>"));
  EXPECT_FALSE(Matches("dog", "the cat"));
  EXPECT_TRUE(Matches("ab", "a<i>b</i>")) << "a tag leaves no blank behind";
  EXPECT_TRUE(Matches("\"new york\"", "I love New York"));
  EXPECT_FALSE(Matches("\"new york\"", "new  york"));
  EXPECT_TRUE(Matches("&amp;", "fish &amp; chips")) << "entities stay as written";
}

TEST_F(EvaluationTest, AnEmptyExpressionMatchesNothingWithoutReadingThePage) {
  EXPECT_FALSE(Matches("", "anything"));
  EXPECT_FALSE(Matches("    ", "    "));
  EXPECT_TRUE(host.statusHistory.empty());
  EXPECT_EQ(analyst.Documents(), nullptr);
}

TEST_F(EvaluationTest, AndBindsMoreLooselyThanOr) {
  // a or b and c == (a or b) and c
  EXPECT_TRUE(Matches("a or b and c", "b c"));
  EXPECT_FALSE(Matches("a or b and c", "a"));
  // a and b or c == a and (b or c)
  EXPECT_FALSE(Matches("x and y or z", "z"));
  EXPECT_TRUE(Matches("x and y or z", "x z"));
  EXPECT_TRUE(Matches("cat OR dog", "dog"));
  EXPECT_TRUE(Matches("Cat aNd dOg", "dog cat"));
}

TEST_F(EvaluationTest, LeftoversKeywordsAndNotFollowTheGrammarLiterally) {
  EXPECT_TRUE(Matches("cat dog", "cat")) << "adjacency is no operator: dog is never read";
  EXPECT_TRUE(Matches("cat ) dog", "cat"));
  EXPECT_TRUE(Matches("and cat", "band")) << "a keyword as operand is a word";
  EXPECT_FALSE(Matches("and cat", "cat"));
  EXPECT_TRUE(Matches("not zebra", "a cat"));
  EXPECT_FALSE(Matches("not zebra", "zebra"));
  EXPECT_TRUE(Matches("not zebra and cat", "cat"));
  EXPECT_FALSE(Matches("not zebra and cat", "cat zebra"));
  EXPECT_FALSE(Matches("not zebra and cat", "dog"));
  // not not a: searches for the word "not", leaves a over.
  EXPECT_TRUE(Matches("not not a", "xyz"));
  EXPECT_FALSE(Matches("not not a", "knot"));
  EXPECT_TRUE(Matches("\"and\"", "sand")) << "a quoted keyword is the same token";
  EXPECT_FALSE(Matches("cat and", "cat")) << "a missing operand is the empty word, found nowhere";
  EXPECT_TRUE(Matches("cat or", "cat"));
  EXPECT_TRUE(Matches("not", "anything")) << "not of the empty word";
}

TEST_F(EvaluationTest, ListsKeepEveryPairInNestedOrder) {
  ASSERT_TRUE(Matches("cat or dog", "cat dog cat"));
  EXPECT_EQ(Spans().Count(), 3u);
  ASSERT_TRUE(Matches("cat and dog", "cat dog cat"));
  const clsMatchLists both = Spans();
  ASSERT_EQ(both.Count(), 2u);
  EXPECT_EQ(both.Matches[0], (clsMatch{1, 8}));
  EXPECT_EQ(both.Matches[1], (clsMatch{5, 12}));
  ASSERT_TRUE(Matches("cat in_sentence_with dog", "cat dog cat"));
  EXPECT_EQ(Spans().Matches, both.Matches) << "in_sentence_with pairs exactly like and";
  ASSERT_TRUE(Matches("not zebra", "abc"));
  ASSERT_EQ(Spans().Count(), 1u);
  EXPECT_EQ(Spans().Matches[0], (clsMatch{1, 3})) << "not spans the whole prepared text";
}

TEST_F(EvaluationTest, NearCountsFewerThan200CharactersBetweenEndAndStart) {
  const auto page = [](int blanks, bool reversed) {
    return std::string(reversed ? "b" : "a") + std::string(static_cast<std::size_t>(blanks), ' ') +
           (reversed ? "a" : "b");
  };
  for (bool reversed : {false, true}) {
    SCOPED_TRACE(reversed ? "b before a" : "a before b");
    EXPECT_TRUE(Matches("a near b", page(198, reversed)));
    EXPECT_TRUE(Matches("a near b", page(199, reversed)));
    EXPECT_FALSE(Matches("a near b", page(200, reversed)));
    EXPECT_FALSE(Matches("a near b", page(5000, reversed)));
  }
  EXPECT_TRUE(Matches("a near b", "a<" + std::string(300, 'x') + ">b")) << "distance counts prepared text";
  EXPECT_TRUE(Matches("a NEAR b", "ab"));
  EXPECT_TRUE(Matches("(cat or dog) near fish", "dog" + std::string(150, ' ') + "fish"));
  EXPECT_FALSE(Matches("(cat or dog) near fish", "dog" + std::string(250, ' ') + "fish"));
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
  EXPECT_TRUE(Matches("a near b", page));
  ASSERT_TRUE(Matches("a and b", page));
  EXPECT_EQ(Spans().Matches.back(), (clsMatch{39900, 40001}));
}

TEST_F(EvaluationTest, NestedNearUsesTheSpreadOfTheInnerPair) {
  // "a near b" spreads from a to b; c is near that span's end.
  const std::string gap150(150, ' ');
  EXPECT_TRUE(Matches("a near b near c", "a" + gap150 + "b" + gap150 + "c"));
  EXPECT_FALSE(Matches("a near (b near c)", "a" + gap150 + gap150 + "b c"))
      << "a is 300 characters from b c";
  EXPECT_TRUE(Matches("(a and b) near c", "a" + std::string(1000, ' ') + "b" + gap150 + "c"));
  EXPECT_TRUE(Matches("((a and b) near c) near d",
                      "a" + std::string(1000, ' ') + "b" + gap150 + "c" + gap150 + "d"));
  EXPECT_FALSE(Matches("((a and b) near c) near d",
                       "d" + std::string(1000, ' ') + "a b" + gap150 + "c"));
}

TEST_F(EvaluationTest, AMissingBracketIsReportedOncePerPageAndEvaluationGoesOn) {
  EXPECT_TRUE(Matches("(cat dog", "a cat"));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Expected )\r\n but found dog.");
  EXPECT_TRUE(Matches("(cat", "a cat"));
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].text, "Expected )\r\n but found .");
  EXPECT_TRUE(analyst.DocumentMatches("another cat"));
  EXPECT_EQ(host.messages.size(), 3u);
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
  std::string nearChain = "a";
  for (int i = 0; i < 20000; ++i) nearChain += " near a";
  EXPECT_TRUE(Matches(nearChain, "a a"));
}

TEST_F(EvaluationTest, AStopWhilePairingAbandonsTheTestQuietly) {
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
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(EvaluationTest, AStopDuringTheTestEndsItQuickly) {
  host.onPump = [&] { state.StopRequested = 1; };
  EXPECT_FALSE(Matches("x and x and x", "x<b>x<i>x"));
  EXPECT_EQ(host.Status(1), "Link Added..... ");
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace zorvik
