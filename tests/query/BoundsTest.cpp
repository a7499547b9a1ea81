// The page test's bounds: the memory it holds, the work it does, and giving
// up once per search. Heap use is measured by counting every allocation of
// this test program.

#include <gtest/gtest.h>

#include <string>

#include "query/clsDocumentAnalyst.h"
#include "support/AllocationCounter.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

using bench::AllocationCounter;

// `bytes` of "a ", the densest page for a chain of "a".
std::string Crowded(std::size_t bytes) {
  std::string page;
  while (page.size() < bytes) page += "a ";
  return page;
}

std::string NearChain(int operands) {
  std::string expression = "a";
  for (int i = 1; i < operands; ++i) expression += " near a";
  return expression;
}

class BoundsTest : public ::testing::Test {
 protected:
  // The answer; `peak` becomes the most the test held beyond what was held before.
  bool Matches(const std::string& expression, const std::string& page) {
    analyst.Init(expression);
    AllocationCounter::ResetPeak();
    const std::size_t before = AllocationCounter::current;
    const bool matches = analyst.DocumentMatches(page);
    peak = AllocationCounter::peak - before;
    return matches;
  }
  static std::size_t Bound(const std::string& page) { return 16 * page.size() + (std::size_t{64} << 20); }

  testing::FakeHost host;
  SearchState state;
  clsDocumentAnalyst analyst{host, state};
  std::size_t peak = 0;
};

TEST_F(BoundsTest, CrowdedPagesAreDecidedWithinTheMemoryBound) {
  // This took 130 times the page, and a chain of ten words minutes.
  const std::string page = Crowded(std::size_t{1} << 20);
  EXPECT_TRUE(Matches("a near a near a", page));
  EXPECT_LE(peak, Bound(page));
  const std::string small = Crowded(4096);
  EXPECT_TRUE(Matches(NearChain(10), small));
  EXPECT_LE(peak, Bound(small));
  EXPECT_FALSE(Matches(NearChain(10) + " near b", small));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(BoundsTest, EverythingTheTestHoldsCountsAgainstTheBound) {
  analyst.Limits.ExtraBytes = std::size_t{1} << 20;
  const std::string page = Crowded(std::size_t{64} << 10);
  for (const char* expression : {"a near a near a near a", "(a and a) near a near a", "((a near a) or (a and a)) near a near a",
                                 "not (a near a near a near a)"}) {
    SCOPED_TRACE(expression);
    EXPECT_FALSE(Matches(expression, page));
    EXPECT_TRUE(analyst.LastCost().GaveUp);
    // What the count leaves out (the parser, the page model's own fields)
    // is a few hundred bytes.
    EXPECT_LE(peak, analyst.LastCost().ByteLimit + 4096);
  }
}

TEST_F(BoundsTest, AFailedAllocationCountsAsNotMatching) {
  analyst.Limits.ExtraBytes = std::size_t{1} << 40;
  const std::string page = Crowded(std::size_t{256} << 10);
  AllocationCounter::failAbove = AllocationCounter::current + (std::size_t{8} << 20);
  bool matches = true;
  EXPECT_NO_THROW(matches = Matches("a near a near a near a", page));
  AllocationCounter::failAbove = static_cast<std::size_t>(-1);
  EXPECT_FALSE(matches);
  EXPECT_TRUE(analyst.LastCost().GaveUp);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(BoundsTest, WorkIsCountedInStepsWithinTheDocumentedBound) {
  // 2,000 occurrences under ten near took minutes.
  const std::string page = Crowded(4096);
  std::uint64_t stepsOfTen = 0;
  for (const int operands : {10, 100}) {
    SCOPED_TRACE(operands);
    EXPECT_TRUE(Matches(NearChain(operands), page));
    const clsDocumentAnalyst::Cost cost = analyst.LastCost();
    const std::uint64_t tokens = 2 * operands - 1;
    EXPECT_EQ(cost.StepLimit, 64 * page.size() * tokens + (std::uint64_t{1} << 26));
    EXPECT_LE(cost.Steps, cost.StepLimit);
    if (operands == 10) stepsOfTen = cost.Steps;
  }
  EXPECT_TRUE(Matches(NearChain(10), page));
  EXPECT_EQ(analyst.LastCost().Steps, stepsOfTen) << "the same work on every run";

  analyst.Limits.ExtraSteps = 0;
  analyst.Limits.StepsPerPageByteAndToken = 8;
  EXPECT_FALSE(Matches(NearChain(100), page));
  EXPECT_TRUE(analyst.LastCost().GaveUp);
}

TEST_F(BoundsTest, GivingUpIsSaidOncePerSearch) {
  const std::string page = Crowded(std::size_t{64} << 10);
  analyst.Limits.ExtraBytes = 0;
  EXPECT_FALSE(Matches("a near a near a near a", page));
  EXPECT_FALSE(Matches("a near a near a near a", page));
  analyst.Limits = {};
  analyst.Limits.ExtraSteps = 0;
  EXPECT_FALSE(Matches("a near a near a near a", page)) << "over the steps this time";
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Search Expression Too Complex");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Exclamation);
  EXPECT_TRUE(Matches("a near a", page)) << "what fits is still decided";

  clsDocumentAnalyst nextSearch(host, state);
  nextSearch.Limits.ExtraBytes = 0;
  nextSearch.Init("a near a near a near a");
  EXPECT_FALSE(nextSearch.DocumentMatches(page));
  EXPECT_EQ(host.messages.size(), 2u);
}

}  // namespace
}  // namespace zorvik
