#include <gtest/gtest.h>

#include <random>
#include <string>

#include "query/TagStripper.h"
#include "query/clsDocuments.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

class DocumentTextTest : public ::testing::Test {
 protected:
  testing::FakeHost host;
  SearchState state;
  clsDocuments doc{host, state};
};

TEST_F(DocumentTextTest, ProgressTextsAndOneYieldPerTag) {
  doc.InitLowerCased("a<b>c<i>d");
  EXPECT_EQ(host.YieldCount(), 2u);
  const std::vector<std::string> expected = {
      "Working..... ",
      "Working........ ", "Working........... ", "Working.............. ",
      "Working........ ", "Working........... ", "Working.............. ",
      "Links Added..... "};
  EXPECT_EQ(host.statusHistory[1], expected);
}

TEST_F(DocumentTextTest, AStopLeavesTheRemainingTags) {
  int yields = 0;
  host.onPump = [&] {
    if (++yields == 2) state.StopRequested = 1;
  };
  doc.InitLowerCased("a<b>c<i>d<u>e");
  EXPECT_EQ(doc.Text, "acd<u>e") << "two tags removed before the stop is seen at the third";
  EXPECT_EQ(host.Status(1), "Link Added..... ");
  // The occurrence scan ends at the stop too.
  doc.InitLowerCased("x x x x x");
  clsMatchLists found;
  doc.OccurrencesOf("x", found);
  EXPECT_EQ(found.Count(), 1u);
}

TEST_F(DocumentTextTest, OccurrencesNeverOverlapAndTheEmptyWordIsNowhere) {
  doc.InitLowerCased("aaaa");
  clsMatchLists found;
  doc.OccurrencesOf("aa", found);
  EXPECT_EQ(found.Matches, (std::vector<clsMatch>{{1, 3}, {3, 5}}));
  doc.OccurrencesOf("", found);
  EXPECT_TRUE(found.Empty()) << "the list is replaced, and the empty word is nowhere";
  doc.OccurrencesOf("aaaaa", found);
  EXPECT_TRUE(found.Empty());
}

// The block-wise word search agrees with a plain scan wherever the words fall
// relative to its 16-byte blocks (the text itself is the tag stripper's test).
TEST_F(DocumentTextTest, WordsAtEveryOffsetAgreeWithAPlainScan) {
  for (std::size_t offset = 0; offset < 70; ++offset) {
    for (const std::string tag : {"<b>", "<", "<a href=\"x\">", "<>"}) {
      doc.InitLowerCased(std::string(offset, 'x') + "AbC" + tag + "dEf\xC3\x84" + std::string(40, 'y') + "abc");
      const std::string& text = doc.Text;
      for (const std::string word : {"abc", "ab", "c", "cdef", "xabcd", "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyabc"}) {
        clsMatchLists found;
        doc.OccurrencesOf(word, found);
        std::vector<clsMatch> plain;
        for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size()))
          plain.push_back({static_cast<std::int64_t>(at) + 1, static_cast<std::int64_t>(at + word.size()) + 1});
        ASSERT_EQ(found.Matches, plain) << "offset " << offset << " word " << word;
      }
    }
  }
}

// Every way of removing tags gives the byte loop's text, tag positions and
// stopping point, on pages of tags, stray brackets and text of every length.
TEST(TagStripperTest, EveryMethodAgreesWithTheByteLoop) {
  using namespace tags;
  std::mt19937 rng(42);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  static const char* const kPieces[] = {"<b>", "<", ">", "x", "Ab", "<a <b>", "  ", "<>", "\xC3\x84", "text TEXT "};
  struct Seen {
    std::string text;
    std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> tags;  // (input offset, output offset)
    std::ptrdiff_t stop = -1;
  };
  const auto run = [](const std::string& page, Method method, int stopAt) {
    std::string out(page.size() + kOutputPadding, '\0');
    Seen seen;
    const auto r = StripTags<true>(page.data(), page.data() + page.size(), out.data(),
                                   [&](const char* lt, char* at) {
                                     if (static_cast<int>(seen.tags.size()) == stopAt) return false;
                                     seen.tags.emplace_back(lt - page.data(), at - out.data());
                                     return true;
                                   },
                                   method);
    seen.text.assign(out.data(), r.out);
    if (r.stop != nullptr) seen.stop = r.stop - page.data();
    return seen;
  };
  for (int i = 0; i < 3000; ++i) {
    std::string page;
    for (int n = pick(0, 120); n > 0; --n) page += kPieces[pick(0, 9)];
    const int stopAt = pick(0, 3) == 0 ? pick(0, 40) : -1;
    const Seen expected = run(page, Method::Bytes, stopAt);
    for (Method method : {Method::Sse2, Method::Bmi2, Method::Best}) {
      if (!Available(method)) continue;
      const Seen got = run(page, method, stopAt);
      ASSERT_EQ(got.text, expected.text) << page;
      ASSERT_EQ(got.tags, expected.tags) << page;
      ASSERT_EQ(got.stop, expected.stop) << page;
    }
  }
}

}  // namespace
}  // namespace zorvik
