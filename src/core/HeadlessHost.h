#pragma once
// A Host without a desktop: status texts are dropped, message boxes answer
// with their first button, dialogs and pickers are cancelled, nothing is opened. The
// command-line tool, benchmarks and fuzz targets build on it.

#include "core/Host.h"

namespace zorvik {

class HeadlessHost : public Host {
 public:
  using Host::Host;

  void ShowStatus(int, std::string_view) override {}
  MsgAnswer MsgBox(std::string_view, MsgButtons buttons, MsgIcon, std::string_view) override {
    return FirstButton(buttons);
  }
  std::optional<std::string> OpenFileDialog(const FileDialogSpec&) override { return std::nullopt; }
  std::optional<std::string> SaveFileDialog(const FileDialogSpec&) override { return std::nullopt; }
  std::optional<std::string> ChooseFolder(std::string_view, std::string_view) override { return std::nullopt; }
  ListPick PickFromList(std::string_view, const std::vector<std::string>&,
                        std::string_view) override {
    return {};
  }
  void SetMousePointer(MousePointer) override {}
  std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }
  bool ShellOpen(std::string_view) override { return false; }
  bool StartProcess(std::string_view, const std::vector<std::string>&) override { return false; }
};

}  // namespace zorvik
