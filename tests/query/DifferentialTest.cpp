// The evaluator against the plain reference evaluator, on thousands of small
// random pages and expressions over a tiny alphabet, so that words collide,
// overlap and fall on both sides of the near distance.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "query/clsDocumentAnalyst.h"
#include "reference/ReferenceEvaluator.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

class RandomCases {
 public:
  explicit RandomCases(unsigned seed) : rng_(seed) {}

  std::string Page() {
    std::string page;
    const int length = Pick(0, 700);
    while (static_cast<int>(page.size()) < length) {
      switch (Pick(0, 9)) {
        case 0: page += "<" + Word() + ">"; break;
        case 1: page += Pick(0, 1) ? "<P>" : "<"; break;
        case 2: case 3: case 4: page += std::string(static_cast<std::size_t>(Pick(1, 150)), ' '); break;
        case 5: page += ">"; break;
        default: page += Word(); page += ' ';
      }
    }
    return page;
  }

  std::string Expression(int depth = 0) {
    std::string e = Operand(depth);
    const int operators = Pick(0, depth > 0 ? 1 : 3);
    static const char* const kOps[] = {" and ", " or ", " near ", " in_sentence_with ", " AND ", " Near ", " "};
    for (int i = 0; i < operators; ++i) e += kOps[Pick(0, 6)] + Operand(depth);
    if (Pick(0, 30) == 0) e += ")";
    return e;
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string Word() {
    static const char* const kWords[] = {"a", "b", "ab", "ba", "A", "aa", "c"};
    return kWords[Pick(0, 6)];
  }
  std::string Operand(int depth) {
    switch (Pick(0, 9)) {
      case 0: return "not " + Operand(depth + 1);
      case 1:
      case 2:
        if (depth < 4) return "(" + Expression(depth + 1) + (Pick(0, 15) == 0 ? "" : ")");
        return Word();
      case 3: return "\"" + Word() + " " + Word() + "\"";
      case 4: return Pick(0, 4) == 0 ? "\"\"" : "and";
      default: return Word();
    }
  }
  std::mt19937 rng_;
};

// Expressions that nest near, and and or inside each other over few, spaced
// occurrences, so that near keeps judging the spreads of inner pairs.
class NestedNearCases {
 public:
  explicit NestedNearCases(unsigned seed) : rng_(seed) {}
  std::string Page() {
    std::string page;
    const int words = Pick(1, 12);
    for (int i = 0; i < words; ++i) {
      page += std::string(static_cast<std::size_t>(Pick(0, 260)), ' ');
      page += "abcd"[Pick(0, 3)];
    }
    return page;
  }
  std::string Expression(int depth = 0) {
    if (depth >= 3 || Pick(0, 3) == 0) return std::string(1, "abcd"[Pick(0, 3)]);
    static const char* const kOps[] = {" near ", " near ", " and ", " or ", " in_sentence_with "};
    return "(" + Expression(depth + 1) + kOps[Pick(0, 4)] + Expression(depth + 1) + ")";
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::mt19937 rng_;
};

TEST(DifferentialTest, NestedNearAnswersEqualTheReferenceEvaluators) {
  testing::FakeHost host;
  SearchState state;
  clsDocumentAnalyst analyst(host, state);
  reference::ReferenceEvaluator reference(host, state);
  NestedNearCases cases(1206);
  int matched = 0;
  constexpr int kCases = 20000;
  for (int i = 0; i < kCases; ++i) {
    const std::string expression = cases.Expression();
    const std::string page = cases.Page();
    analyst.Init(expression);
    const bool ours = analyst.DocumentMatches(page);
    ASSERT_EQ(ours, reference.DocumentMatches(expression, page)) << "expression: " << expression << "\npage: " << page;
    matched += ours ? 1 : 0;
  }
  EXPECT_GT(matched, kCases / 5);
  EXPECT_LT(matched, kCases * 4 / 5);
}

TEST(DifferentialTest, AnswersEqualTheReferenceEvaluators) {
  testing::FakeHost host;
  testing::FakeHost referenceHost;
  SearchState state;
  clsDocumentAnalyst analyst(host, state);
  reference::ReferenceEvaluator reference(referenceHost, state);
  RandomCases cases(20261206);
  reference.MaxSpans = 100000;
  int matched = 0;
  int skipped = 0;
  constexpr int kCases = 20000;
  for (int i = 0; i < kCases; ++i) {
    const std::string expression = cases.Expression();
    const std::string page = cases.Page();
    analyst.Init(expression);
    const bool ours = analyst.DocumentMatches(page);
    const bool theirs = reference.DocumentMatches(expression, page);
    if (reference.Overflowed()) {
      ++skipped;
      continue;
    }
    ASSERT_EQ(ours, theirs) << "expression: " << expression << "\npage: " << page;
    ASSERT_EQ(host.messages.size(), referenceHost.messages.size()) << expression;
    if (!host.messages.empty()) ASSERT_EQ(host.messages.back().text, referenceHost.messages.back().text);
    if (analyst.Documents() != nullptr) ASSERT_EQ(analyst.Documents()->Text, reference.Text) << page;
    ASSERT_EQ(host.Status(1), referenceHost.Status(1));
    // The written-out list, in order, is the reference's list (kept small).
    if (reference.Result.size() < 5000) {
      const clsMatchLists list = analyst.LastResult().List();
      ASSERT_EQ(list.Count(), reference.Result.size()) << expression << "\npage: " << page;
      for (std::size_t k = 0; k < list.Count(); ++k) {
        ASSERT_EQ(list.Matches[k].StartingPosition, reference.Result[k].start);
        ASSERT_EQ(list.Matches[k].EndingPosition, reference.Result[k].end);
      }
    }
    matched += ours ? 1 : 0;
  }
  // Both outcomes must be well represented for the comparison to mean much.
  EXPECT_LT(skipped, kCases / 50);
  EXPECT_GT(matched, kCases / 5);
  EXPECT_LT(matched, kCases * 4 / 5);
}

TEST(DifferentialTest, ParagraphsAndTextEqualTheReferencesOnRawPages) {
  testing::FakeHost host;
  SearchState state;
  clsDocuments documents(host, state);
  reference::ReferenceEvaluator reference(host, state);
  RandomCases cases(7);
  for (int i = 0; i < 2000; ++i) {
    const std::string page = cases.Page();
    documents.Init(page);
    reference.Prepare(page);
    ASSERT_EQ(documents.Text, reference.Text) << page;
    ASSERT_EQ(documents.Paragraphs.Count(), reference.Paragraphs.size()) << page;
    for (std::size_t k = 0; k < reference.Paragraphs.size(); ++k) {
      ASSERT_EQ(documents.Paragraphs.Matches[k].StartingPosition, reference.Paragraphs[k].start);
      ASSERT_EQ(documents.Paragraphs.Matches[k].EndingPosition, reference.Paragraphs[k].end);
    }
  }
}

}  // namespace
}  // namespace zorvik
