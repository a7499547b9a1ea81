// Disk work of the searched report during a crawl: N matching pages go
// through the page fetcher's completion one after another (a stand-in
// transfer hands out each page), each recording its three-line record and
// bringing the searched report up to date, as a crawl of N records does.
// Counts the bytes the process writes (/proc/self/io "wchar") apart from the
// URL file itself, and checks that the final report is the one a whole
// rewrite from the URL file gives.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "crawler/Inet.h"
#include "crawler/PageFetcher.h"
#include "crawler/RobotContext.h"
#include "engines/EngineEndpoints.h"
#include "engines/ResultSectionCut.h"
#include "engines/SearchResultFile.h"
#include "harvest/AddressHarvester.h"
#include "harvest/ReportFiles.h"
#include "support/BenchHost.h"

namespace {

namespace fs = std::filesystem;
using namespace zorvik;

// Hands out one fixed page per request; the events are raised by the bench.
class PageInet final : public Inet {
 public:
  std::string url;
  std::string page;
  std::size_t read = 0;
  bool Execute(std::string_view) override { return true; }
  std::string OpenURL(std::string_view, int) override { return {}; }
  std::string GetChunk(std::size_t size, int) override {
    const std::string piece = page.substr(std::min(read, page.size()), size);
    read += piece.size();
    return piece;
  }
  std::string GetHeader(std::string_view) const override { return "text/html"; }
  void Cancel() override {}
  bool StillExecuting() const override { return false; }
  std::string URL() const override { return url; }
  std::string ResponseInfo() const override { return "HTTP/1.1 200 OK"; }
  int StatusCode() const override { return 200; }
};

// Bytes this process has handed to write() so far.
long long WrittenBytes() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "wchar:") return value;
  }
  return -1;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void BM_SearchedReportDuringCrawl(benchmark::State& bench) {
  const int records = static_cast<int>(bench.range(0));
  const fs::path dir = fs::temp_directory_path() / ("zorvik-bench-reports-" + std::to_string(::getpid()));
  for (auto _ : bench) {
    bench.PauseTiming();
    fs::remove_all(dir);
    fs::create_directories(dir);
    zorvik::bench::BenchHost host(std::chrono::hours(1));
    SearchState state;
    state.ResultBaseName = "run";
    state.UrlFilePath = (dir / "run.txt").string();
    RobotForm form;
    RobotContext ctx(host, form, state, dir);
    ctx.analyst = std::make_unique<clsDocumentAnalyst>(host, state);
    ctx.analyst->Init("robot");
    EngineEndpoints endpoints;
    SearchResultFile resultFile;
    ResultSectionCut cut(form, state, endpoints, resultFile);
    harvest::AddressHarvester harvester(host, form, state, dir);
    harvest::ReportFiles reports(form, state, dir);
    PageInet inet;
    PageFetcher fetcher(ctx, inet, cut, harvester, reports);
    const long long before = WrittenBytes();
    bench.ResumeTiming();

    for (int i = 0; i < records; ++i) {
      inet.url = "http://127.0.0.1:8080/pages/p" + std::to_string(i) + ".htm";
      inet.page = "<html><head><title>Page " + std::to_string(i) +
                  "</title></head><body>A page about a robot.</body></html>";
      inet.read = 0;
      fetcher.Inet1_StateChanged(4);  // connected: the address the page is recorded under
      fetcher.Inet1_StateChanged(12);
    }

    bench.PauseTiming();
    const long long written = WrittenBytes() - before;
    const auto urlFileBytes = static_cast<long long>(fs::file_size(state.UrlFilePath));
    const std::string report = ReadAll(dir / "run_searched.htm");
    harvest::WriteSearchedReportFile(state.UrlFilePath, dir / "whole.htm");
    if (form.FoundCount != records || report.find(inet.url) == std::string::npos ||
        report != ReadAll(dir / "whole.htm")) {
      bench.SkipWithError("the report differs from a whole rewrite of the URL file");
    }
    bench.counters["report_MB_written"] = static_cast<double>(written - urlFileBytes) / 1e6;
    bench.counters["report_MB_final"] = static_cast<double>(report.size()) / 1e6;
    bench.counters["url_file_MB"] = static_cast<double>(urlFileBytes) / 1e6;
    fs::remove_all(dir);
    bench.ResumeTiming();
  }
}
BENCHMARK(BM_SearchedReportDuringCrawl)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
