#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "query/clsParsers.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

class TokenizerTest : public ::testing::Test {
 protected:
  std::vector<std::string> Tokens(std::string_view source) {
    clsParsers parser(host, state);
    parser.Init(source);
    std::vector<std::string> out;
    for (int guard = 0; !parser.NextWord.empty() && guard < 100; ++guard) {
      out.push_back(parser.NextWord);
      parser.Advance();
    }
    return out;
  }
  using V = std::vector<std::string>;
  testing::FakeHost host;
  SearchState state;
};

TEST_F(TokenizerTest, BlanksSeparateWordsAndBracketsStandAlone) {
  EXPECT_EQ(Tokens("  cat"), V{"cat"});
  EXPECT_EQ(Tokens("cat  "), V{"cat"});
  EXPECT_EQ(Tokens("(cat)"), (V{"(", "cat", ")"}));
  EXPECT_EQ(Tokens("a(b"), (V{"a", "(", "b"}));
  EXPECT_EQ(Tokens("((x) or y)"), (V{"(", "(", "x", ")", "or", "y", ")"}));
  // Only the space is a blank: tabs and line breaks belong to the word.
  EXPECT_EQ(Tokens("a\tb c\r\nd"), (V{"a\tb", "c\r\nd"}));
  EXPECT_EQ(Tokens(""), V{});
  EXPECT_EQ(Tokens("     "), V{});
}

TEST_F(TokenizerTest, QuotesMakeOnePhraseAndAreOrdinaryInsideAWord) {
  EXPECT_EQ(Tokens("\"new york\" near pizza"), (V{"new york", "near", "pizza"}));
  EXPECT_EQ(Tokens("\"unclosed phrase"), V{"unclosed phrase"});
  EXPECT_EQ(Tokens("\"a (b) and c\"d"), (V{"a (b) and c", "d"}));
  EXPECT_EQ(Tokens("ab\"cd"), V{"ab\"cd"});
  // An empty phrase is an empty token, which reads as the end of the input.
  EXPECT_EQ(Tokens("\"\" cat"), V{});
}

TEST_F(TokenizerTest, CanReadConsumesOnlyAnExactMatch) {
  clsParsers parser(host, state);
  parser.Init("AND and");
  EXPECT_FALSE(parser.CanRead("and"));
  EXPECT_EQ(parser.NextWord, "AND");
  EXPECT_TRUE(parser.CanRead("AND"));
  EXPECT_EQ(parser.NextWord, "and");
  EXPECT_EQ(parser.Remainder, "");
}

TEST_F(TokenizerTest, ExpectReportsTheMissingTokenAndLeavesTheCurrentOne) {
  clsParsers parser(host, state);
  parser.Init("dog rest");
  parser.Expect(")");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Expected )\r\n but found dog.");
  EXPECT_EQ(host.messages[0].title, "Invalid Search String");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(host.messages[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(parser.NextWord, "dog");

  parser.Init(")");
  parser.Expect(")");
  EXPECT_EQ(host.messages.size(), 1u) << "a present token raises no message";
  parser.Expect(")");
  EXPECT_EQ(host.messages.back().text, "Expected )\r\n but found .");
}

TEST_F(TokenizerTest, AStopMakesEveryFurtherTokenEmpty) {
  clsParsers parser(host, state);
  parser.Init("cat and dog");
  EXPECT_EQ(parser.NextWord, "cat");
  state.StopRequested = 1;
  parser.Advance();
  EXPECT_EQ(parser.NextWord, "");
  EXPECT_EQ(parser.Remainder, " and dog") << "the rest stays unread";
  state.StopRequested = 0;
  state.StopPressed = true;
  parser.Advance();
  EXPECT_EQ(parser.NextWord, "and") << "only StopRequested stops the tokenizer";
}

}  // namespace
}  // namespace zorvik
