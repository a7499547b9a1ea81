// The evaluator against the plain reference evaluator, on thousands of small
// random pages and expressions over a tiny alphabet, so that words collide,
// overlap and fall on both sides of the near distance.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "query/SpanMatrix.h"
#include "query/clsDocumentAnalyst.h"
#include "reference/ReferenceEvaluator.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

struct Random {
  std::mt19937 rng;
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  std::string Word() { return std::vector<std::string>{"a", "b", "ab", "ba", "A", "aa", "c"}[Pick(0, 6)]; }
};

// Any expression: keywords as words, phrases, empty phrases, missing brackets.
struct AnyCases : Random {
  std::string Page() {
    std::string page;
    for (const int length = Pick(0, 700); static_cast<int>(page.size()) < length;) {
      switch (Pick(0, 9)) {
        case 0: page += "<" + Word() + ">"; break;
        case 1: page += Pick(0, 1) ? "<P>" : "<"; break;
        case 2: case 3: case 4: page += std::string(static_cast<std::size_t>(Pick(1, 150)), ' '); break;
        case 5: page += ">"; break;
        default: page += Word() + " ";
      }
    }
    return page;
  }
  std::string Expression(int depth = 0) {
    static const char* const kOps[] = {" and ", " or ", " near ", " in_sentence_with ", " AND ", " Near ", " "};
    std::string e = Operand(depth);
    for (int i = Pick(0, depth > 0 ? 1 : 3); i > 0; --i) e += kOps[Pick(0, 6)] + Operand(depth);
    return Pick(0, 30) == 0 ? e + ")" : e;
  }
  std::string Operand(int depth) {
    switch (Pick(0, 9)) {
      case 0: return "not " + Operand(depth + 1);
      case 1: case 2: return depth < 4 ? "(" + Expression(depth + 1) + (Pick(0, 15) == 0 ? "" : ")") : Word();
      case 3: return "\"" + Word() + " " + Word() + "\"";
      case 4: return Pick(0, 4) == 0 ? "\"\"" : "and";
      default: return Word();
    }
  }
};

// Near, and and or nested in each other over few, spaced occurrences, so that
// near keeps judging the spreads of inner pairs.
struct NestedNearCases : Random {
  std::string Page() {
    std::string page;
    // Gaps often sit right at the near distance.
    static const int kGaps[] = {0, 1, 196, 197, 198, 199, 200};
    for (int i = Pick(1, 12); i > 0; --i) {
      const int gap = Pick(0, 2) == 0 ? Pick(0, 260) : kGaps[Pick(0, 6)];
      page += std::string(static_cast<std::size_t>(gap), ' ') + "abcd"[Pick(0, 3)];
    }
    return page;
  }
  std::string Expression(int depth = 0) {
    static const char* const kOps[] = {" near ", " near ", " and ", " or ", " in_sentence_with "};
    if (depth >= 3 || Pick(0, 3) == 0) return std::string(1, "abcd"[Pick(0, 3)]);
    return "(" + Expression(depth + 1) + kOps[Pick(0, 4)] + Expression(depth + 1) + ")";
  }
};

// Short pages crowded with a few words under chains of near: the spans of
// the chain fill most of what is possible, which is worked out by matrix.
struct CrowdedChainCases : Random {
  std::string Page() {
    std::string page;
    for (const int length = Pick(1, 80); static_cast<int>(page.size()) < length;)
      page += Pick(0, 8) == 0 ? std::string(static_cast<std::size_t>(Pick(20, 200)), ' ') : Word() + " ";
    return page;
  }
  std::string Expression() {
    std::string e = Operand();
    for (int i = Pick(1, 4); i > 0; --i) e += " near " + Operand();
    return e;
  }
  std::string Operand() {
    switch (Pick(0, 11)) {
      case 0: return "(" + Word() + " or " + Word() + ")";
      case 1: return "(" + Word() + " near " + Word() + ")";
      case 2: return "(" + Word() + " and " + Word() + ")";
      default: return Word();
    }
  }
};

// Runs `count` cases; answers, messages, prepared text, last status text and
// (where small) the written-out list must all equal the reference's.
template <class Cases>
void CompareWithReference(Cases cases, int count) {
  testing::FakeHost host;
  testing::FakeHost referenceHost;
  SearchState state;
  clsDocumentAnalyst analyst(host, state);
  reference::ReferenceEvaluator reference(referenceHost, state);
  reference.MaxSpans = 100000;
  int matched = 0;
  int skipped = 0;
  for (int i = 0; i < count; ++i) {
    const std::string expression = cases.Expression();
    const std::string page = cases.Page();
    SCOPED_TRACE("expression: " + expression + "\npage: " + page);
    analyst.Init(expression);
    const bool ours = analyst.DocumentMatches(page);
    const bool theirs = reference.DocumentMatches(expression, page);
    if (reference.Overflowed()) {
      ++skipped;
      continue;
    }
    ASSERT_EQ(ours, theirs);
    ASSERT_EQ(host.messages.size(), referenceHost.messages.size());
    if (!host.messages.empty()) {
      ASSERT_EQ(host.messages.back().text, referenceHost.messages.back().text);
    }
    if (analyst.Documents() != nullptr) {
      ASSERT_EQ(analyst.Documents()->Text, reference.Text);
    }
    ASSERT_EQ(host.Status(1), referenceHost.Status(1));
    if (reference.Result.size() < 5000) {
      const clsMatchLists list = analyst.LastResult().List();
      ASSERT_EQ(list.Count(), reference.Result.size());
      for (std::size_t k = 0; k < list.Count(); ++k) {
        ASSERT_EQ(list.Matches[k].StartingPosition, reference.Result[k].start);
        ASSERT_EQ(list.Matches[k].EndingPosition, reference.Result[k].end);
      }
    }
    matched += ours ? 1 : 0;
  }
  // Both outcomes must be well represented for the comparison to mean much.
  EXPECT_LT(skipped, count / 50);
  EXPECT_GT(matched, count / 5);
  EXPECT_LT(matched, count * 4 / 5);
}

TEST(DifferentialTest, AnyExpressionAnswersLikeTheReference) { CompareWithReference(AnyCases{{std::mt19937(20261206)}}, 20000); }

TEST(DifferentialTest, NestedNearAnswersLikeTheReference) { CompareWithReference(NestedNearCases{{std::mt19937(1206)}}, 20000); }

TEST(DifferentialTest, CrowdedChainsAnswerLikeTheReference) {
  CompareWithReference(CrowdedChainCases{{std::mt19937(4096)}}, 3000);
}

// The matrix form of near against the span-set form, on random spans over
// texts longer than one 64-bit word, so that wide smears cross words.
TEST(DifferentialTest, MatrixNearAgreesWithTheSpanSets) {
  Random r{std::mt19937(64)};
  for (int i = 0; i < 400; ++i) {
    spans::Budget budget;
    const int length = r.Pick(0, 3) == 0 ? r.Pick(60, 150) : r.Pick(1, 8);  // long words smear down widely
    const int positions = r.Pick(length + 64, 600);
    spans::Spans x = budget.NewSpans();
    for (int k = r.Pick(1, 40); k > 0; --k) {
      const int start = r.Pick(0, positions - 1);
      x.push_back({static_cast<spans::Pos>(start), static_cast<spans::Pos>(r.Pick(start, positions - 1))});
    }
    spans::SortUnique(x, budget);
    spans::Positions starts = budget.NewPositions();
    for (int k = r.Pick(1, 20); k > 0; --k) starts.push_back(static_cast<spans::Pos>(r.Pick(0, positions - 1 - length)));
    spans::SortUnique(starts, budget);
    const spans::SpanView w(starts.data(), starts.size(), static_cast<spans::Pos>(length));
    const spans::Wide distance = r.Pick(1, 300);
    spans::MatrixChain matrix(spans::SpanView(x), static_cast<std::size_t>(positions), budget);
    matrix.Near(w, distance, budget);
    ASSERT_TRUE(matrix.ToSpans(budget) == spans::NearSpreads(spans::SpanView(x), w, distance, budget)) << "case " << i;
  }
}

}  // namespace
}  // namespace zorvik
