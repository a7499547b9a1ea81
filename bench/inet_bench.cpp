// Fetching 1,000 small pages one after another from a local server: through
// the transfer component, waiting as the page fetcher does (Execute, yield
// with WaitEvents until 11 or 12, then GetChunk(1024) until empty), against
// a plain loop over one reused libcurl easy handle. Prints both and their
// ratio, measured in alternation so that the shared machine's changing load
// falls on both alike.

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/BenchHost.h"
#include "crawler/CurlInet.h"

namespace {

constexpr int kPages = 1000;

// Small pages of a couple of kilobytes, /page/0 .. /page/999.
class PageServer {
 public:
  PageServer() {
    server_.set_keep_alive_max_count(1'000'000);
    server_.set_tcp_nodelay(true);
    server_.Get(R"(/page/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      std::string body = "<html><head><title>Page " + std::string(req.matches[1]) +
                         "</title></head><body>";
      while (body.size() < 2000) body += "<p>Some words about robots and spiders.</p>\n";
      body += "</body></html>";
      res.set_content(body, "application/x-bench");  // not compressed by the server
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PageServer() {
    server_.stop();
    thread_.join();
  }
  std::string Url(int i) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/page/" + std::to_string(i);
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

PageServer& Server() {
  static PageServer server;
  return server;
}

// One fetch the way the page fetcher waits for it.
struct InetLoop {
  InetLoop() {
    inet.StateChanged = [this](std::int16_t s) { ended = ended || s == 11 || s == 12; };
  }
  // The page's size, or 0 when it failed.
  std::size_t Fetch(int i) {
    ended = false;
    inet.Execute(Server().Url(i));
    while (!ended) host.WaitEvents(std::chrono::milliseconds(50));
    std::string page;
    for (std::string piece; !(piece = inet.GetChunk(1024, zorvik::Inet::kText)).empty();)
      page += piece;
    return inet.StatusCode() == 200 ? page.size() : 0;
  }
  zorvik::bench::BenchHost host;
  zorvik::CurlInet inet{host};
  bool ended = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

struct EasyLoop {
  EasyLoop() {
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &page);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  }
  ~EasyLoop() { curl_easy_cleanup(easy); }
  EasyLoop(const EasyLoop&) = delete;
  EasyLoop& operator=(const EasyLoop&) = delete;
  std::size_t Fetch(int i) {
    page.clear();
    curl_easy_setopt(easy, CURLOPT_URL, Server().Url(i).c_str());
    return curl_easy_perform(easy) == CURLE_OK ? page.size() : 0;
  }
  CURL* easy = curl_easy_init();
  std::string page;
};

template <class Loop>
void RunPages(benchmark::State& state) {
  Loop loop;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kPages; ++i) {
      const std::size_t n = loop.Fetch(i);
      if (n == 0) state.SkipWithError("a page failed");
      bytes += n;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPages);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_CurlEasyPages(benchmark::State& state) { RunPages<EasyLoop>(state); }
void BM_InetPages(benchmark::State& state) { RunPages<InetLoop>(state); }

BENCHMARK(BM_CurlEasyPages)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InetPages)->Unit(benchmark::kMillisecond)->UseRealTime();

template <class Loop>
double Milliseconds(Loop& loop) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPages; ++i) loop.Fetch(i);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void CompareInAlternation(int rounds) {
  EasyLoop easy;
  InetLoop inet;
  Milliseconds(easy);  // opens both connections
  Milliseconds(inet);
  std::vector<double> easyTimes, inetTimes, ratios;
  for (int r = 0; r < rounds; ++r) {
    easyTimes.push_back(Milliseconds(easy));
    inetTimes.push_back(Milliseconds(inet));
    ratios.push_back(inetTimes.back() / easyTimes.back());
  }
  const double easyBest = *std::min_element(easyTimes.begin(), easyTimes.end());
  const double inetBest = *std::min_element(inetTimes.begin(), inetTimes.end());
  std::printf(
      "\n1,000 pages, %d alternating rounds: Inet best %.1f ms (median %.1f), curl easy loop "
      "best %.1f ms (median %.1f); ratio per round, median %.2f; best to best %.2f "
      "(limit 1.50)\n",
      rounds, inetBest, Median(inetTimes), easyBest, Median(easyTimes), Median(ratios),
      inetBest / easyBest);
}

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  CompareInAlternation(9);
  benchmark::Shutdown();
  return 0;
}
