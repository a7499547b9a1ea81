// Speed and memory of the page test.
//
//   build-bench/bin/bench_query
//
// Figures worth reading side by side (one run):
//  - TagRemoval/Reference vs TagRemoval/Ours: a 1 MB page with a tag every
//    20 bytes, one-word expression; "speedup" is reference time / ours.
//  - DocumentMatches10MB vs LowerCaseCopy10MB: "x_lowercase" is the page
//    test's cost in passes that lower-case a copy of the page.
//  - Pairwise/*: 20,000 occurrences of each word; "x_word" is the time
//    relative to the single word, "peak_MB" the peak heap during the test.
//  - ManyTags/*: a million tags with a window system whose every event-loop
//    pass costs 50 us; "pumps" counts the real passes.
//  - Dense/*: pages of nothing but "a " with near-chains of "a": the page
//    test's worst cases. "peak_MB" is the peak heap during the test,
//    "bound_MB" the most one page test may hold (16 times the page plus
//    64 MB), "matches" the answer and "gave_up" whether the test gave up
//    ("Search Expression Too Complex").

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>

#include "core/SearchState.h"
#include "core/Text.h"
#include "query/clsDocumentAnalyst.h"
#include "reference/ReferenceEvaluator.h"
#include "support/AllocationCounter.h"
#include "support/BenchHost.h"

namespace zorvik::bench {
namespace {

// `bytes` of text with a tag every `every` bytes; `word` sits at the very
// end, so every test reads the whole page.
std::string TaggedPage(std::size_t bytes, std::size_t every, const std::string& word) {
  static const std::string kFiller = "Lorem Ipsum dolor sit amet, consectetur adipiscing elit ";
  std::string page;
  page.reserve(bytes + word.size() + every);
  std::size_t f = 0;
  while (page.size() < bytes) {
    page += "<b>";
    for (std::size_t i = 3; i < every; ++i) page += kFiller[f++ % kFiller.size()];
  }
  page += word;
  return page;
}

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> seconds;
  return seconds;
}

double SecondsPerIteration(const benchmark::State& state, double total) {
  return total / static_cast<double>(state.iterations());
}

template <class F>
double Timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void TagRemovalReference(benchmark::State& state) {
  const std::string page = TaggedPage(1 << 20, 20, " robot");
  BenchHost host;
  SearchState search;
  reference::ReferenceEvaluator reference(host, search);
  double total = 0;
  for (auto _ : state) total += Timed([&] { benchmark::DoNotOptimize(reference.DocumentMatches("robot", page)); });
  Seconds()["reference"] = SecondsPerIteration(state, total);
}
BENCHMARK(TagRemovalReference)->Name("TagRemoval/Reference")->Unit(benchmark::kMillisecond)->Iterations(1);

void TagRemovalOurs(benchmark::State& state) {
  const std::string page = TaggedPage(1 << 20, 20, " robot");
  BenchHost host;
  SearchState search;
  clsDocumentAnalyst analyst(host, search);
  analyst.Init("robot");
  double total = 0;
  for (auto _ : state) total += Timed([&] { benchmark::DoNotOptimize(analyst.DocumentMatches(page)); });
  const double ours = SecondsPerIteration(state, total);
  if (Seconds().count("reference")) state.counters["speedup"] = Seconds()["reference"] / ours;
}
BENCHMARK(TagRemovalOurs)->Name("TagRemoval/Ours")->Unit(benchmark::kMillisecond);

void LowerCaseCopy(const std::string& page) {
  std::string copy = page;
  for (char& c : copy) c = text::LowerAscii(c);
  benchmark::DoNotOptimize(copy.data());
}

void LowerCaseCopy10MB(benchmark::State& state) {
  const std::string page = TaggedPage(10 << 20, 20, " robot");
  for (auto _ : state) LowerCaseCopy(page);
}
BENCHMARK(LowerCaseCopy10MB)->Unit(benchmark::kMillisecond);

// The page test and the lower-casing pass alternate within each iteration,
// so that both see the same machine; x_lowercase is the ratio of their
// fastest rounds.
void DocumentMatches10MB(benchmark::State& state) {
  const std::string page = TaggedPage(10 << 20, 20, " robot");
  BenchHost host;
  SearchState search;
  clsDocumentAnalyst analyst(host, search);
  analyst.Init("robot");
  double best = 1e9;
  double bestLower = 1e9;
  for (auto _ : state) {
    best = std::min(best, Timed([&] { benchmark::DoNotOptimize(analyst.DocumentMatches(page)); }));
    state.PauseTiming();
    bestLower = std::min(bestLower, Timed([&] { LowerCaseCopy(page); }));
    state.ResumeTiming();
  }
  state.counters["x_lowercase"] = best / bestLower;
}
BENCHMARK(DocumentMatches10MB)->Unit(benchmark::kMillisecond);

// The two halves of the page test: tag removal, then the word search.
void PrepareOnly10MB(benchmark::State& state) {
  const std::string page = TaggedPage(10 << 20, 20, " robot");
  BenchHost host;
  SearchState search;
  clsDocuments documents(host, search);
  for (auto _ : state) {
    documents.InitLowerCased(page);
    benchmark::DoNotOptimize(documents.Text.data());
  }
}
BENCHMARK(PrepareOnly10MB)->Unit(benchmark::kMillisecond);

void SearchOnly10MB(benchmark::State& state) {
  const std::string page = TaggedPage(10 << 20, 20, " robot");
  BenchHost host;
  SearchState search;
  clsDocuments documents(host, search);
  documents.InitLowerCased(page);
  clsMatchLists found;
  for (auto _ : state) {
    documents.OccurrencesOf("robot", found);
    benchmark::DoNotOptimize(found.Matches.data());
  }
}
BENCHMARK(SearchOnly10MB)->Unit(benchmark::kMillisecond);

// 20,000 occurrences of alpha, beta and gamma, tags in between.
const std::string& PairwisePage() {
  static const std::string page = [] {
    std::string p;
    for (int i = 0; i < 20000; ++i) p += "<p>Alpha then some text, <i>beta</i> more text and gamma.</p>\n";
    return p;
  }();
  return page;
}

void Pairwise(benchmark::State& state, const std::string& expression) {
  BenchHost host;
  SearchState search;
  clsDocumentAnalyst analyst(host, search);
  analyst.Init(expression);
  AllocationCounter::ResetPeak();
  const std::size_t before = AllocationCounter::current;
  double total = 0;
  for (auto _ : state) total += Timed([&] { benchmark::DoNotOptimize(analyst.DocumentMatches(PairwisePage())); });
  const double seconds = SecondsPerIteration(state, total);
  state.counters["peak_MB"] = static_cast<double>(AllocationCounter::peak - before) / (1024.0 * 1024.0);
  if (expression == "alpha") Seconds()["word"] = seconds;
  if (Seconds().count("word")) state.counters["x_word"] = seconds / Seconds()["word"];
}
BENCHMARK_CAPTURE(Pairwise, word, std::string("alpha"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pairwise, and, std::string("alpha and beta"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pairwise, near, std::string("alpha near beta"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pairwise, in_sentence_with, std::string("alpha in_sentence_with beta"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pairwise, and_near, std::string("(alpha and beta) near gamma"))->Unit(benchmark::kMillisecond);

void ManyTags(benchmark::State& state, bool eventLoopCostly) {
  std::string page;
  for (int i = 0; i < 1000000; ++i) page += "<b>x";
  // A costly pass when pumped; the baseline never reaches the event loop.
  BenchHost host(eventLoopCostly ? std::chrono::microseconds(2000) : std::chrono::hours(1),
                 eventLoopCostly ? std::chrono::microseconds(50) : std::chrono::microseconds(0));
  SearchState search;
  clsDocumentAnalyst analyst(host, search);
  analyst.Init("robot");
  const std::uint64_t pumpsBefore = host.PumpCount();
  for (auto _ : state) benchmark::DoNotOptimize(analyst.DocumentMatches(page));
  state.counters["pumps"] = static_cast<double>(host.PumpCount() - pumpsBefore) / static_cast<double>(state.iterations());
  state.counters["yields"] = static_cast<double>(host.YieldCount()) / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(ManyTags, no_event_loop, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ManyTags, costly_event_loop, true)->Unit(benchmark::kMillisecond);

// Counts the message boxes shown.
class MessageCountingHost : public BenchHost {
 public:
  MsgAnswer MsgBox(std::string_view, MsgButtons buttons, MsgIcon, std::string_view) override {
    ++messages;
    return FirstButton(buttons);
  }
  int messages = 0;
};

// `bytes` of "a " tested with `operands` occurrences of a joined by near.
void Dense(benchmark::State& state, std::size_t bytes, int operands) {
  std::string page;
  page.reserve(bytes);
  while (page.size() < bytes) page += "a ";
  std::string expression = "a";
  for (int i = 1; i < operands; ++i) expression += " near a";
  MessageCountingHost host;
  SearchState search;
  clsDocumentAnalyst analyst(host, search);
  analyst.Init(expression);
  AllocationCounter::ResetPeak();
  const std::size_t before = AllocationCounter::current;
  bool matches = false;
  for (auto _ : state) matches = analyst.DocumentMatches(page);
  state.counters["peak_MB"] = static_cast<double>(AllocationCounter::peak - before) / (1024.0 * 1024.0);
  state.counters["bound_MB"] = static_cast<double>(16 * page.size() + (std::size_t{64} << 20)) / (1024.0 * 1024.0);
  state.counters["matches"] = matches ? 1 : 0;
  state.counters["gave_up"] = host.messages > 0 ? 1 : 0;
  state.counters["Msteps"] = static_cast<double>(analyst.LastCost().Steps) / 1e6;
  state.counters["Msteps_max"] = static_cast<double>(analyst.LastCost().StepLimit) / 1e6;
}
BENCHMARK_CAPTURE(Dense, 1MB_3, std::size_t{1} << 20, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Dense, 10MB_3, std::size_t{10} << 20, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Dense, 4KB_6, std::size_t{4} << 10, 6)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Dense, 4KB_10, std::size_t{4} << 10, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Dense, 4KB_100, std::size_t{4} << 10, 100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Dense, 1MB_1000, std::size_t{1} << 20, 1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvik::bench

BENCHMARK_MAIN();
