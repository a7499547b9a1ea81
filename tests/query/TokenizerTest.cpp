#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "query/clsParsers.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

class TokenizerTest : public ::testing::Test {
 protected:
  testing::FakeHost host;
  SearchState state;
  clsParsers parser{host, state};
};

TEST_F(TokenizerTest, BlanksSeparateWordsBracketsStandAloneQuotesMakeOnePhrase) {
  using V = std::vector<std::string>;
  const std::pair<const char*, V> cases[] = {
      {"a(b", {"a", "(", "b"}},
      {"((x) or y)", {"(", "(", "x", ")", "or", "y", ")"}},
      {"\ta\tb c\r\nd", {"\ta\tb", "c\r\nd"}},  // only the space is a blank
      {"     ", {}},
      {"\"unclosed phrase", {"unclosed phrase"}},
      {"\"a (b) and c\"d", {"a (b) and c", "d"}},
      {"ab\"cd", {"ab\"cd"}},  // a quote inside a word is ordinary
      {"\"\" cat", {}},        // an empty phrase reads as the end of the input
  };
  for (const auto& [source, expected] : cases) {
    parser.Init(source);
    V tokens;
    for (int guard = 0; !parser.NextWord.empty() && guard < 100; ++guard, parser.Advance())
      tokens.push_back(parser.NextWord);
    EXPECT_EQ(tokens, expected) << source;
  }
}

TEST_F(TokenizerTest, ExpectReportsTheMissingTokenAndLeavesTheCurrentOne) {
  parser.Init("dog rest");
  parser.Expect(")");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Expected )\r\n but found dog.");
  EXPECT_EQ(host.messages[0].title, "Invalid Search String");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(parser.NextWord, "dog");
  parser.Init(")");
  parser.Expect(")");
  EXPECT_EQ(host.messages.size(), 1u) << "a present token raises no message";
}

TEST_F(TokenizerTest, AStopMakesEveryFurtherTokenEmpty) {
  parser.Init("cat and dog");
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
