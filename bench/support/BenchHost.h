#pragma once
// A Host for benchmarks: keeps the last status text of each panel the way a
// window model would, and can make every real pump cost a fixed amount of
// work, as a pass of a window system's event loop does.

#include <array>
#include <chrono>
#include <string>

#include "core/HeadlessHost.h"

namespace zorvik::bench {

class BenchHost : public HeadlessHost {
 public:
  explicit BenchHost(std::chrono::microseconds pumpInterval = std::chrono::milliseconds(2),
                     std::chrono::nanoseconds pumpCost = std::chrono::nanoseconds(0))
      : HeadlessHost(pumpInterval), pumpCost_(pumpCost) {}

  void ShowStatus(int panel, std::string_view text) override {
    if (panel >= 1 && panel <= 4) panels_[static_cast<std::size_t>(panel - 1)].assign(text);
  }

  const std::string& Panel(int panel) const { return panels_[static_cast<std::size_t>(panel - 1)]; }

 protected:
  void PumpPlatform() override {
    if (pumpCost_.count() == 0) return;
    const auto until = std::chrono::steady_clock::now() + pumpCost_;
    while (std::chrono::steady_clock::now() < until) {
    }
  }

 private:
  std::chrono::nanoseconds pumpCost_;
  std::array<std::string, 4> panels_;
};

}  // namespace zorvik::bench
