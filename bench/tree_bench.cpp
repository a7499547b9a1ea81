// The duplicate test of the resource tree: 100,000 nodes, 100,000 look-ups
// (half of them addresses in the tree, half not), answered through the
// root's address index and by visiting every node with a yield at each.
//
//   build-bench/bin/bench_tree
//
// Tree/Indexed runs all 100,000 look-ups per iteration. Tree/Walk runs a
// sample of 200 of the same look-ups per iteration (the full set would take
// minutes); "per_lookup_us" is comparable between the two, and
// "all_lookups_s" extrapolates the walk to the whole set.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "crawler/clsHTMLPageResourceNode.h"
#include "support/BenchHost.h"

namespace zorvik::bench {
namespace {

constexpr int kNodes = 100'000;
constexpr int kLookups = 100'000;
constexpr int kWalkSample = 200;

std::string Address(int i) { return "http://www.site" + std::to_string(i % 97) + ".com/dir/page" + std::to_string(i) + ".htm"; }

// A crawl-shaped tree: every page links 20 pages, resources every fifth.
struct Fixture {
  Fixture() {
    root = clsHTMLPageResourceNode::Create("WWW", "WWW");
    std::vector<ResourceNodePtr> level{root};
    int made = 0;
    std::size_t parent = 0;
    while (made < kNodes) {
      const ResourceNodePtr page = level[parent++];
      for (int k = 0; k < 20 && made < kNodes; ++k, ++made) {
        ResourceNodePtr node = clsHTMLPageResourceNode::Create(Address(made), Address(made));
        if (k % 5 == 4) {
          page->AddResource(node);
        } else {
          page->AddLink(node);
          level.push_back(node);
        }
      }
    }
    for (int i = 0; i < kLookups; ++i) {
      // Even: an address in the tree, spread over it; odd: a new address.
      lookups.push_back(i % 2 == 0 ? Address((i * 7919) % kNodes) : Address(kNodes + i));
    }
  }
  ResourceNodePtr root;
  std::vector<std::string> lookups;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void Indexed(benchmark::State& state) {
  Fixture& f = Shared();
  BenchHost host;
  std::size_t hits = 0;
  for (auto _ : state) {
    for (const std::string& a : f.lookups) {
      ResourceNodePtr found;
      hits += f.root->AlreadyContains(host, a, found);
    }
  }
  if (hits != state.iterations() * static_cast<std::size_t>(kLookups / 2)) state.SkipWithError("wrong hits");
  state.counters["per_lookup_us"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kLookups * 1e-6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["nodes"] = static_cast<double>(f.root->SubtreeSize());
}

void Walk(benchmark::State& state) {
  Fixture& f = Shared();
  BenchHost host;
  std::size_t hits = 0;
  for (auto _ : state) {
    for (int i = 0; i < kWalkSample; ++i) {
      ResourceNodePtr found;
      hits += f.root->AlreadyContainsByWalk(host, f.lookups[static_cast<std::size_t>(i) * (kLookups / kWalkSample) + static_cast<std::size_t>(i % 2)], found);
    }
  }
  if (hits != state.iterations() * static_cast<std::size_t>(kWalkSample / 2)) state.SkipWithError("wrong hits");
  state.counters["per_lookup_us"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kWalkSample * 1e-6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["all_lookups_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kWalkSample / kLookups,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(Indexed)->Name("Tree/Indexed")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Walk)->Name("Tree/Walk")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zorvik::bench

BENCHMARK_MAIN();
