#pragma once
// The Host of the command-line tool: message boxes become lines on standard
// error ("title: text"), dialogs are cancelled, status texts are dropped.

#include <iosfwd>

#include "core/Host.h"

namespace zorvik::cli {

class ConsoleHost : public Host {
 public:
  explicit ConsoleHost(std::ostream& err) : err_(err) {}

  void ShowStatus(int, std::string_view) override {}
  MsgAnswer MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title) override;
  std::optional<std::string> OpenFileDialog(const FileDialogSpec&) override { return std::nullopt; }
  std::optional<std::string> SaveFileDialog(const FileDialogSpec&) override { return std::nullopt; }
  std::optional<std::string> ChooseFolder(std::string_view, std::string_view) override { return std::nullopt; }
  void SetMousePointer(MousePointer) override {}
  std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }
  bool ShellOpen(std::string_view) override { return false; }
  bool StartProcess(std::string_view, const std::vector<std::string>&) override { return false; }

 private:
  std::ostream& err_;
};

}  // namespace zorvik::cli
