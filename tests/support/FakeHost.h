#pragma once
// A Host for tests: records every status text and message box, answers
// message boxes and dialogs from a script, and runs a fake clock that moves
// forward inside every yield, so no test ever sleeps.

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Host.h"

namespace zorvik::testing {

struct RecordedMessage {
  std::string text;
  MsgButtons buttons;
  MsgIcon icon;
  std::string title;
};

class FakeHost : public Host {
 public:
  // Every yield pumps (interval 0), so tests see every event at once.
  FakeHost();
  explicit FakeHost(std::chrono::microseconds pumpInterval);

  void ShowStatus(int panel, std::string_view text) override;
  MsgAnswer MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                   std::string_view title) override;
  std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view initialDir) override;
  ListPick PickFromList(std::string_view caption, const std::vector<std::string>& items,
                        std::string_view buttonText) override;
  void SetMousePointer(MousePointer pointer) override;
  std::chrono::system_clock::time_point Now() override;
  bool ShellOpen(std::string_view target) override;
  bool StartProcess(std::string_view program, const std::vector<std::string>& args) override;

  // What the program showed.
  std::vector<RecordedMessage> messages;
  std::map<int, std::vector<std::string>> statusHistory;  // panel -> every text shown
  std::string Status(int panel) const;                    // last text of a panel
  std::vector<FileDialogSpec> dialogs;
  std::vector<std::string> shellOpened;
  struct ShownPicker {
    std::string caption;
    std::vector<std::string> items;
    std::string buttonText;
  };
  std::vector<ShownPicker> pickers;
  MousePointer pointer = MousePointer::Default;

  // What the user answers, first in first out. An empty queue answers the
  // first button of a message box and cancels a dialog.
  std::deque<MsgAnswer> msgAnswers;
  std::deque<std::optional<std::string>> dialogAnswers;
  // Pickers answer from their own queue; an empty queue closes the picker.
  std::deque<ListPick> pickAnswers;

  // The fake clock, and how far it moves at each real pump.
  std::chrono::system_clock::time_point clock{std::chrono::seconds(1'700'000'000)};
  std::chrono::milliseconds tick{100};

  // Runs at every real pump (after the clock moved): lets a test act "from the
  // event loop", for example press Stop after the n-th yield.
  std::function<void()> onPump;

 protected:
  void PumpPlatform() override;
  void WaitPlatform(std::chrono::milliseconds timeout) override;
};

}  // namespace zorvik::testing
