#pragma once
// The port through which the logic reaches the desktop: yielding to the event
// loop, status texts, message boxes, file dialogs, the mouse pointer, the clock
// and the shell. The windows implement it with Qt, the tests with a FakeHost,
// the command-line tool with a console host.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

enum class MsgButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };
// The mouse pointer's shapes: the normal arrow; Busy, the arrow with an
// hourglass (a search runs, the window is still usable: Stop works);
// Hourglass, the plain hourglass (a step holds the window until it ends).
enum class MousePointer { Default, Busy, Hourglass };

// The answer of a message box's first (default) button.
MsgAnswer FirstButton(MsgButtons buttons);

// What a modal list picker ended with: an item chosen with the picker's
// button, the button pressed with nothing selected, or the window closed.
struct ListPick {
  enum class Outcome { Chosen, NoSelection, Closed };
  Outcome outcome = Outcome::Closed;
  std::string text;  // the chosen item when outcome is Chosen
};

struct FileDialogSpec {
  std::string title;
  std::string filter;       // "Text (*.txt)|*.txt" style: description|pattern pairs
  std::string initialName;
  std::string initialDir;
};

// Something that produces events which must be delivered on the caller's
// thread from inside a yield (the transfer components).
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Does whatever work is ready and delivers the resulting events. Never
  // blocks. True when something happened that a waiting caller may be
  // waiting for: an event delivered, an operation finished.
  virtual bool Pump() = 0;
  // True while work is in flight, so that a waiting caller may block on it.
  virtual bool Active() const = 0;
  // Blocks for at most `timeout` until this source has something to do.
  virtual void WaitForActivity(std::chrono::milliseconds timeout) = 0;
};

class Host {
 public:
  // A real pump (the window system and the event sources) runs at most once
  // per `pumpInterval`; calls in between return at once, so code that yields
  // once per tag or per occurrence stays fast.
  explicit Host(std::chrono::microseconds pumpInterval = std::chrono::milliseconds(2));
  virtual ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Yield to the event loop. Cheap (a counter) except every so many calls,
  // when it reads the clock and pumps if the interval has passed.
  void DoEvents() {
    ++yields_;
    if (--countdown_ > 0) return;
    YieldSlowly();
  }
  // True when the next DoEvents() may really pump. Code that shows a progress
  // text around each yield uses it to skip texts nobody could ever see.
  bool PumpDue() const { return countdown_ <= 1; }
  // Yield for a caller that waits for an event: pumps now and, when that
  // brought nothing new, blocks for at most `timeout` on a busy event source
  // (or the window system) instead of spinning, then pumps again.
  void WaitEvents(std::chrono::milliseconds timeout);
  // Number of DoEvents/WaitEvents calls and of real pumps since construction.
  std::uint64_t YieldCount() const { return yields_; }
  std::uint64_t PumpCount() const { return pumps_; }
  // The longest time between two looks at the clock by the yields: an
  // upper bound of how long the event loop went without a chance to run.
  // Measured from the first yield after ResetYieldGap.
  std::chrono::nanoseconds LongestYieldGap() const { return longestGap_; }
  void ResetYieldGap() {
    longestGap_ = {};
    gapFrom_ = {};
  }

  void AddEventSource(EventSource* source);
  void RemoveEventSource(EventSource* source);
  // For a window system's idle time, when nothing yields: true while some
  // event source has work in flight, and a pump of the event sources alone.
  bool EventSourcesActive() const;
  bool PumpEventSources() { return PumpNow(false); }

  // The longest a WaitEvents blocks on a busy event source before it looks
  // at the window system again. Unlimited by default; a window host sets a
  // few milliseconds, so that clicks and repaints get through while a slow
  // transfer is waited for.
  void SetLongestBlock(std::chrono::milliseconds longest) { longestBlock_ = longest; }

  // Text of a status panel of the robot window (1-based panel number).
  virtual void ShowStatus(int panel, std::string_view text) = 0;
  virtual MsgAnswer MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                           std::string_view title) = 0;
  // The path chosen, or nothing when the user cancelled.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec) = 0;
  virtual std::optional<std::string> ChooseFolder(std::string_view title,
                                                  std::string_view initialDir) = 0;
  // A modal window with a caption, a list of items and one button.
  virtual ListPick PickFromList(std::string_view caption, const std::vector<std::string>& items,
                                std::string_view buttonText) = 0;
  virtual void SetMousePointer(MousePointer pointer) = 0;
  // Redraws the windows from their models' current values, without running
  // user commands or transfer events (no pump): for a step that only wants
  // its latest values seen before it goes on.
  virtual void Repaint() {}
  // Wall-clock time; tests substitute a clock that advances inside the yields.
  virtual std::chrono::system_clock::time_point Now() = 0;
  // Opens a file or address with its associated program.
  virtual bool ShellOpen(std::string_view target) = 0;
  virtual bool StartProcess(std::string_view program, const std::vector<std::string>& args) = 0;

 protected:
  // Runs the window system's pending events. Called by every real pump.
  virtual void PumpPlatform() {}
  // Blocks for at most `timeout` waiting for window-system events; used by
  // WaitEvents when no event source is busy.
  virtual void WaitPlatform(std::chrono::milliseconds timeout);

 private:
  bool PumpNow(bool platform = true);
  void YieldSlowly();

  std::chrono::microseconds interval_;
  std::chrono::steady_clock::time_point lastPump_{};
  std::chrono::steady_clock::time_point lastCheck_{};
  // Yields left before the clock is read again, and how many to allow next
  // time: adapted so that the clock is read a few times per interval.
  std::int64_t countdown_ = 1;
  std::int64_t stride_ = 1;
  std::vector<EventSource*> sources_;
  std::uint64_t yields_ = 0;
  std::chrono::nanoseconds longestGap_{};
  std::chrono::steady_clock::time_point gapFrom_{};
  void NoteGap(std::chrono::steady_clock::time_point now) {
    if (gapFrom_.time_since_epoch().count() != 0 && now - gapFrom_ > longestGap_) longestGap_ = now - gapFrom_;
    gapFrom_ = now;
  }
  std::uint64_t pumps_ = 0;
  int depth_ = 0;
  std::chrono::milliseconds longestBlock_ = std::chrono::milliseconds::max();
};

}  // namespace zorvik
