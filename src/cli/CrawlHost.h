#pragma once
// The Host of `zorvik-search crawl`: the robot's dialogs are answered from the
// command line (the URL file, the page to open, the collection folder, the
// two pickers), every message box becomes a line "title: text" on standard
// error, the status panels become a progress display, and Ctrl+C is the
// Stop button: the first press is handed to the robot from inside the next
// pump, a second ends the process at once.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/HeadlessHost.h"

namespace zorvik {
struct RobotForm;
}

namespace zorvik::cli {

// What the command line answers the robot's questions with. An unset answer
// cancels the dialog (or closes the picker).
struct CrawlAnswers {
  std::optional<std::string> urlFile;     // the URL-file dialogs
  std::optional<std::string> openPage;    // "Open URL file" of the open-page search
  std::optional<std::string> collection;  // "Save to....."
  std::optional<std::string> ffaCode;     // "FFA Categories": the item starting with it
  std::optional<std::string> option;      // "Search Options": the item equal to it
};

enum class ProgressStyle {
  None,        // nothing but the message boxes
  StatusLine,  // one line rewritten in place (a terminal)
  PanelLines,  // one line for every change of the first panel
};

class CrawlHost : public HeadlessHost {
 public:
  CrawlHost(std::ostream& err, CrawlAnswers answers, ProgressStyle style);
  ~CrawlHost() override;

  // Where the counters and the address being fetched are read for the
  // progress display.
  void Watch(const RobotForm* form) { form_ = form; }
  // What the first Ctrl+C does (the Stop button). Runs inside a pump.
  void OnInterrupt(std::function<void()> stop) { stop_ = std::move(stop); }
  // Takes SIGINT over until the host goes (or ReleaseInterrupt).
  void CatchInterrupt();
  void ReleaseInterrupt();

  void ShowStatus(int panel, std::string_view text) override;
  // Draws a status text held back by the rate limit, if it may be drawn now.
  void Repaint() override;
  MsgAnswer MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title) override;
  std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> ChooseFolder(std::string_view title, std::string_view initialDir) override;
  ListPick PickFromList(std::string_view caption, const std::vector<std::string>& items,
                        std::string_view buttonText) override;

  // The text a panel (1..4) shows now.
  const std::string& Panel(int panel) const;
  // Every message box as printed, in order.
  const std::vector<std::string>& Messages() const { return messages_; }
  // A message box told of bad input (depth, address, expression), or a
  // question had to go unanswered.
  bool InputRejected() const { return inputRejected_; }
  // The Stop button was pressed for an interrupt.
  bool Stopped() const { return stopped_; }
  // Ends the status line, so that what follows starts on a line of its own.
  void EndProgress();

 protected:
  void PumpPlatform() override;

 private:
  void Render(bool force);
  std::string ProgressText() const;
  void ClearStatusLine();
  std::optional<std::string> AnswerFileDialog(const FileDialogSpec& spec);

  std::ostream& err_;
  CrawlAnswers answers_;
  ProgressStyle style_;
  const RobotForm* form_ = nullptr;
  std::function<void()> stop_;
  std::string panels_[4];
  std::vector<std::string> messages_;
  bool inputRejected_ = false;
  bool stopped_ = false;
  bool catching_ = false;
  bool lineShown_ = false;
  bool dirty_ = false;  // the status line is behind the panels
  std::string lastPanelLine_;
  std::chrono::steady_clock::time_point lastRender_{};
};

}  // namespace zorvik::cli
