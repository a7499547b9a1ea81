// The robot window crawling a site (offscreen, no pause, depth 3), with the
// real browser pane: total time, the longest stall of Qt's event loop (how
// late a 1 ms timer fires), the time from a click on Stop to the end of the
// search, the cost of showing each new tree entry early and late in the
// crawl, and the peak memory of the program with its browser processes.
//
//   ZORVIK_BENCH_SITE=http://127.0.0.1:PORT/p0.htm build-bench/bin/bench_window
//   (ZORVIK_BENCH_ONCE=1: "Fetch each page once")
//
// bench/crawl-vs-wget serves its generated site and runs this beside
// zorvik-search (--window), so both crawl the same site in the same run.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/QtHost.h"
#include "app/browser/WebPane.h"
#include "app/robot/frmWebRobot.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "engines/WebRobot.h"

namespace zorvik::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

std::string Site() {
  const char* site = std::getenv("ZORVIK_BENCH_SITE");
  return site != nullptr ? site : "";
}

// Answers the URL-file dialog and every message box without showing them.
class BenchHost : public app::QtHost {
 public:
  explicit BenchHost(std::string urlFile) : urlFile_(std::move(urlFile)) {}
  std::optional<std::string> OpenFileDialog(const FileDialogSpec&) override { return urlFile_; }
  MsgAnswer MsgBox(std::string_view, MsgButtons buttons, MsgIcon, std::string_view) override {
    return FirstButton(buttons);
  }

 private:
  std::string urlFile_;
};

// Resident memory of this process and all its descendants (the browser
// engine's processes), in bytes.
std::size_t ResidentBytes(int pid) {
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  std::size_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::size_t TreeResidentBytes(int pid = ::getpid()) {
  std::size_t total = ResidentBytes(pid);
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* dir = ::opendir(tasks.c_str())) {
    while (const dirent* task = ::readdir(dir)) {
      if (task->d_name[0] == '.') continue;
      std::ifstream children(tasks + "/" + task->d_name + "/children");
      for (int child = 0; children >> child;) total += TreeResidentBytes(child);
    }
    ::closedir(dir);
  }
  return total;
}

struct Measures {
  QTimer stallClock;  // a 1 ms timer: how late it fires is how long the loop stalled
  Clock::time_point lastTick{};
  Ms longestStall{0};
  QTimer memoryClock;
  std::size_t peakBytes = 0;

  Measures() {
    stallClock.setTimerType(Qt::PreciseTimer);
    stallClock.setInterval(1);
    QObject::connect(&stallClock, &QTimer::timeout, [this] {
      const auto now = Clock::now();
      if (lastTick.time_since_epoch().count() != 0) {
        const Ms late = now - lastTick - std::chrono::milliseconds(1);
        if (late > longestStall) longestStall = late;
      }
      lastTick = now;
    });
    memoryClock.setInterval(250);
    QObject::connect(&memoryClock, &QTimer::timeout, [this] { peakBytes = std::max(peakBytes, TreeResidentBytes()); });
  }
  void Start() {
    lastTick = {};
    stallClock.start();
    memoryClock.start();
  }
  void Stop() {
    stallClock.stop();
    memoryClock.stop();
    peakBytes = std::max(peakBytes, TreeResidentBytes());
  }
};

// A robot window with its search typed in, shown offscreen.
struct Window {
  QTemporaryDir dir;
  SearchState state;
  app::frmWebRobot window;
  explicit Window(const std::string& start)
      : window(state, dir.path().toStdString(),
               std::make_unique<BenchHost>((std::filesystem::path(dir.path().toStdString()) / "run.txt").string())) {
    window.resize(1100, 760);
    window.show();
    RobotForm& form = window.Robot().Form();
    form.txtURL = start;
    form.txtSearchString = "needle";
    form.txtSearchDepth = "3";
    window.Robot().Options().politeness = std::chrono::seconds(0);
    const char* once = std::getenv("ZORVIK_BENCH_ONCE");
    window.Robot().Options().fetchOnce = once != nullptr && *once == '1';
    window.SyncNow();
  }
  void Click(const char* action) { window.findChild<QAction*>(action)->trigger(); }
};

void BM_CrawlFromTheWindow(benchmark::State& state) {
  if (Site().empty()) {
    state.SkipWithError("set ZORVIK_BENCH_SITE to the start address of a site to crawl");
    return;
  }
  for (auto _ : state) {
    Window w(Site());
    Measures measures;
    // The tree's mirroring, timed: the window's widgets are brought up to
    // date here, at the window's own rate, and each pass that adds entries
    // is charged to them.
    struct Pass {
      std::size_t entriesAfter;
      std::size_t added;
      std::chrono::nanoseconds spent;
    };
    std::vector<Pass> passes;
    std::size_t shown = w.window.Robot().Tree().View().Count();
    auto lastSync = Clock::now();
    QObject::connect(&w.window.Host(), &app::QtHost::Pumped, &w.window, [&] {
      if (Clock::now() - lastSync < std::chrono::milliseconds(20)) return;
      const auto from = Clock::now();
      w.window.SyncNow();
      lastSync = Clock::now();
      const std::size_t now = w.window.Robot().Tree().View().Count();
      if (now > shown) passes.push_back({now, now - shown, lastSync - from});
      shown = now;
    });
    measures.Start();
    const auto started = Clock::now();
    w.Click("btnSearch");
    const auto elapsed = Clock::now() - started;
    measures.Stop();

    const std::size_t entries = w.window.Robot().Tree().View().Count();
    // Cost per entry over the first and the last tenth of the entries.
    const auto perEntry = [&](bool early) {
      std::chrono::nanoseconds spent{0};
      std::size_t added = 0;
      for (const Pass& p : passes) {
        const bool inside = early ? p.entriesAfter <= entries / 10 : p.entriesAfter > entries - entries / 10;
        if (!inside) continue;
        spent += p.spent;
        added += p.added;
      }
      return added == 0 ? 0.0 : std::chrono::duration<double, std::micro>(spent).count() / static_cast<double>(added);
    };
    state.counters["crawl_s"] = std::chrono::duration<double>(elapsed).count();
    state.counters["tree_entries"] = static_cast<double>(entries);
    state.counters["searched"] = w.window.Robot().Form().SearchedCount;
    state.counters["longest_stall_ms"] = measures.longestStall.count();
    state.counters["entry_us_first_tenth"] = perEntry(true);
    state.counters["entry_us_last_tenth"] = perEntry(false);
    state.counters["peak_MB"] = static_cast<double>(measures.peakBytes) / (1024.0 * 1024.0);
    std::printf("window crawl: %.2f s, %zu tree entries, longest event-loop stall %.1f ms, "
                "%.1f us per new tree entry in the first tenth, %.1f us in the last, peak %.0f MB\n",
                std::chrono::duration<double>(elapsed).count(), entries, measures.longestStall.count(), perEntry(true),
                perEntry(false), static_cast<double>(measures.peakBytes) / (1024.0 * 1024.0));
  }
}
BENCHMARK(BM_CrawlFromTheWindow)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_StopTakesEffect(benchmark::State& state) {
  if (Site().empty()) {
    state.SkipWithError("set ZORVIK_BENCH_SITE to the start address of a site to crawl");
    return;
  }
  double worst = 0;
  int stops = 0;
  for (auto _ : state) {
    for (const int afterMs : {700, 1500, 2300}) {
      Window w(Site());
      // Stop is clicked from the event loop at a moment in the middle of
      // the crawl; it has taken effect when the search command returns.
      Clock::time_point clicked{};
      QTimer::singleShot(afterMs, Qt::PreciseTimer, &w.window, [&] {
        clicked = Clock::now();
        w.Click("btnStop");
      });
      const auto due = Clock::now() + std::chrono::milliseconds(afterMs);
      w.Click("btnSearch");
      const auto ended = Clock::now();
      if (clicked.time_since_epoch().count() == 0) continue;  // finished before the click
      // From the moment the click was due, so that a late timer counts too.
      const double ms = Ms(ended - std::min(due, clicked)).count();
      worst = std::max(worst, ms);
      ++stops;
    }
  }
  state.counters["stops"] = stops;
  state.counters["worst_stop_ms"] = worst;
  std::printf("stop: worst %.1f ms from click to the end of the search (%d stops)\n", worst, stops);
}
BENCHMARK(BM_StopTakesEffect)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zorvik::bench

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  zorvik::app::PrepareBrowserEngine();
  QApplication app(argc, argv);
  if (!qEnvironmentVariableIsSet("ZORVIK_BENCH_LIGHT"))
    zorvik::app::SetBrowserPaneFactory([](QWidget* parent) { return new zorvik::app::WebPane(parent); });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
