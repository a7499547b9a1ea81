#pragma once
// A Host for benchmarks: keeps the last status text of each panel the way a
// window model would, and can make every real pump cost a fixed amount of
// work, as a pass of a window system's event loop does.

#include <array>
#include <chrono>
#include <string>

#include "core/Host.h"

namespace zorvik::bench {

class BenchHost : public Host {
 public:
  explicit BenchHost(std::chrono::microseconds pumpInterval = std::chrono::milliseconds(2),
                     std::chrono::nanoseconds pumpCost = std::chrono::nanoseconds(0))
      : Host(pumpInterval), pumpCost_(pumpCost) {}

  void ShowStatus(int panel, std::string_view text) override {
    if (panel >= 1 && panel <= 4) panels_[static_cast<std::size_t>(panel - 1)].assign(text);
  }
  MsgAnswer MsgBox(std::string_view, MsgButtons, MsgIcon, std::string_view) override { return MsgAnswer::Ok; }
  std::optional<std::string> OpenFileDialog(const FileDialogSpec&) override { return std::nullopt; }
  std::optional<std::string> SaveFileDialog(const FileDialogSpec&) override { return std::nullopt; }
  std::optional<std::string> ChooseFolder(std::string_view, std::string_view) override { return std::nullopt; }
  void SetMousePointer(MousePointer) override {}
  std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }
  bool ShellOpen(std::string_view) override { return false; }
  bool StartProcess(std::string_view, const std::vector<std::string>&) override { return false; }

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
