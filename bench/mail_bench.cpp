// Sending a message with a 100 MiB attachment (base64) through the mail
// component in non-blocking mode to a local aiosmtpd that keeps nothing,
// driven the way a window's event loop drives it: load the file (Action 9),
// connect, send, close, waiting for each Done with Host::WaitEvents.
//
// Counters: gap_ms, the longest time the event loop went without a pump
// from the load to the last Done (a window stays responsive while it is
// small); gap_cpu_ms, the most processor time this thread spent between two
// pumps (the same gap without the time the scheduler gave to others: on a
// busy machine gap_ms grows, gap_cpu_ms does not); peak_MB, the most memory
// held through operator new meanwhile;
// message_MB, the size of the message sent; peak_per_message, their ratio;
// MB_per_s, the message size over the time from the send to its Done.

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

#include "mail/mMail.h"
#include "support/AllocationCounter.h"
#include "support/BenchHost.h"
#include "support/MailPeers.h"

namespace {

using zorvik::bench::AllocationCounter;
using namespace std::chrono_literals;

constexpr std::size_t kAttachmentBytes = std::size_t{100} << 20;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A window's event loop: also notes the processor time between pumps.
class LoopHost : public zorvik::bench::BenchHost {
 public:
  double longestCpuMs = 0;
  void Restart() {
    ResetYieldGap();
    longestCpuMs = 0;
    last_ = ThreadCpuMs();
  }

 protected:
  void PumpPlatform() override {
    const double now = ThreadCpuMs();
    longestCpuMs = std::max(longestCpuMs, now - last_);
    last_ = now;
  }

 private:
  double last_ = 0;
};

// Bytes no encoder can shrink, written a megabyte at a time.
void WriteAttachment(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  std::string chunk(1 << 20, '\0');
  std::uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (std::size_t written = 0; written < kAttachmentBytes; written += chunk.size()) {
    for (char& c : chunk) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      c = static_cast<char>(x);
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
}

void BM_SendLargeAttachment(benchmark::State& state) {
  zorvik::testing::SmtpDiscard peer;
  zorvik::testing::TempDir dir;
  const auto file = dir.path() / "attachment.bin";
  WriteAttachment(file);

  for (auto _ : state) {
    LoopHost host;
    zorvik::mail::mMail mail(host);
    int done = 0, failed = 0;
    std::string failure;
    long total = 0;
    mail.onDone = [&] { ++done; };
    mail.onAsyncError = [&](int n, const std::string& d) {
      ++failed;
      failure = std::to_string(n) + " " + d;
    };
    mail.onProgress = [&](long, long t) { total = t; };
    auto wait = [&](int action) {
      const int before = done + failed;
      mail.SetAction(action);
      while (done + failed == before) host.WaitEvents(10ms);
      return failed == 0;
    };
    mail.SetHost(peer.host());
    mail.SetFrom("ann@example.org");
    mail.SetTo("bob@example.net");
    mail.SetSubject("a large attachment");
    mail.SetContentType("multipart");
    mail.SetContentSubtype("mixed");
    mail.SetContentParameters("boundary=4711_boundary");
    mail.SetBoundary("4711_boundary");

    AllocationCounter::ResetPeak();
    const double before = AllocationCounter::PeakMegabytes();
    host.Restart();
    mail.SetAction(4);
    mail.SetAction(7);
    mail.SetContentType("application");
    mail.SetContentSubtype("octet-stream");
    mail.SetTransferEncoding("base64");
    mail.SetContentDisposition("attachment; filename=\"attachment.bin\"");
    mail.SetFlags(130);
    mail.SetMessageFile(file.string());
    const zorvik::mail::MailStatus loaded = mail.SetAction(9);
    mail.SetAction(2);
    mail.SetFlags(64);
    const bool connected = loaded.ok() && wait(3);
    const auto start = std::chrono::steady_clock::now();
    const bool sent = connected && wait(15);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (sent) wait(8);
    if (!sent) {
      state.SkipWithError(("send failed: " + (loaded.ok() ? failure : loaded.description)).c_str());
      break;
    }
    const double messageMB = static_cast<double>(total) / (1024.0 * 1024.0);
    const double peakMB = AllocationCounter::PeakMegabytes() - before;
    state.counters["gap_ms"] = std::chrono::duration<double, std::milli>(host.LongestYieldGap()).count();
    state.counters["gap_cpu_ms"] = host.longestCpuMs;
    state.counters["peak_MB"] = peakMB;
    state.counters["message_MB"] = messageMB;
    state.counters["peak_per_message"] = peakMB / messageMB;
    state.counters["MB_per_s"] = messageMB / seconds;
  }
}
BENCHMARK(BM_SendLargeAttachment)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
