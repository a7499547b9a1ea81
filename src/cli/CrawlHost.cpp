#include "cli/CrawlHost.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <ostream>

#include "core/RobotForm.h"

namespace zorvik::cli {

namespace {

// Interrupts seen since CatchInterrupt. The handler only counts; the robot
// hears of the first one inside the next pump.
volatile sig_atomic_t g_interrupts = 0;
struct sigaction g_previous {};

extern "C" void OnInterruptSignal(int) {
  if (g_interrupts > 0) {
    // The second press: no waiting for the search to wind down.
    const char newline = '\n';
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, &newline, 1);
    ::_exit(130);
  }
  g_interrupts = 1;
}

constexpr std::chrono::milliseconds kRenderInterval{100};
const std::string kNoText;

std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

std::size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
  return 80;
}

// The messages that tell the user the search could not start from what was
// typed: nothing was fetched.
bool IsInputRejection(std::string_view text, std::string_view title) {
  return title == "Invalid Search Depth" || title == "Invalid URL" || title == "Invalid URL file" ||
         text == "No URL inserted!" ||
         text == "You must enter a valid search expression!";
}

}  // namespace

CrawlHost::CrawlHost(std::ostream& err, CrawlAnswers answers, ProgressStyle style)
    : err_(err), answers_(std::move(answers)), style_(style) {}

CrawlHost::~CrawlHost() { ReleaseInterrupt(); }

void CrawlHost::CatchInterrupt() {
  if (catching_) return;
  g_interrupts = 0;
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  ::sigaction(SIGINT, &action, &g_previous);
  catching_ = true;
}

void CrawlHost::ReleaseInterrupt() {
  if (!catching_) return;
  ::sigaction(SIGINT, &g_previous, nullptr);
  catching_ = false;
}

void CrawlHost::PumpPlatform() {
  // A status text held back by the rate limit is shown once it may be.
  if (dirty_) Render(false);
  if (g_interrupts == 0 || stopped_ || !catching_) return;
  stopped_ = true;
  ClearStatusLine();
  err_ << "zorvik-search: stopping the search (Ctrl+C again ends at once)\n";
  err_.flush();
  if (stop_) stop_();
}

void CrawlHost::Repaint() {
  if (dirty_) Render(false);
}

void CrawlHost::ShowStatus(int panel, std::string_view text) {
  if (panel < 1 || panel > 4) return;
  std::string& shown = panels_[panel - 1];
  if (shown == text) return;
  shown.assign(text);
  if (style_ == ProgressStyle::PanelLines) {
    if (panel == 1) {
      err_ << ProgressText() << '\n';
      err_.flush();
    }
  } else if (style_ == ProgressStyle::StatusLine) {
    Render(false);
  }
}

const std::string& CrawlHost::Panel(int panel) const {
  if (panel < 1 || panel > 4) return kNoText;
  return panels_[panel - 1];
}

std::string CrawlHost::ProgressText() const {
  std::string line(TrimEnd(panels_[0]));
  if (form_ != nullptr) {
    line += " | searched " + std::to_string(form_->SearchedCount) + " | found " + std::to_string(form_->FoundCount);
    if (!form_->txtURL.empty()) line += " | " + form_->txtURL;
  }
  return line;
}

void CrawlHost::Render(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && lineShown_ && now - lastRender_ < kRenderInterval) {
    dirty_ = true;
    return;
  }
  dirty_ = false;
  lastRender_ = now;
  std::string line = ProgressText();
  const std::size_t width = TerminalWidth() - 1;
  if (line.size() > width) line.resize(width);
  err_ << '\r' << line << "\x1b[K";
  err_.flush();
  lineShown_ = true;
}

void CrawlHost::ClearStatusLine() {
  if (!lineShown_) return;
  err_ << "\r\x1b[K";
  lineShown_ = false;
  dirty_ = true;  // drawn again at the next pump
}

void CrawlHost::EndProgress() {
  if (style_ != ProgressStyle::StatusLine || !lineShown_) return;
  if (dirty_) Render(true);
  err_ << '\n';
  err_.flush();
  lineShown_ = false;
}

MsgAnswer CrawlHost::MsgBox(std::string_view text, MsgButtons buttons, MsgIcon, std::string_view title) {
  ClearStatusLine();
  // A box without a title of its own shows the program's name.
  std::string line(title.empty() ? std::string_view("zorvik-search") : title);
  line += ": ";
  line += text;
  messages_.push_back(line);
  err_ << line << '\n';
  err_.flush();
  if (IsInputRejection(text, title)) inputRejected_ = true;
  return FirstButton(buttons);
}

std::optional<std::string> CrawlHost::AnswerFileDialog(const FileDialogSpec& spec) {
  // The open-page search asks for its page; every other dialog of a search
  // asks for the URL file.
  const bool pageDialog = spec.title == "Open URL file" || spec.title == "Openfile";
  const std::optional<std::string>& answer = pageDialog ? answers_.openPage : answers_.urlFile;
  if (!answer) {
    ClearStatusLine();
    err_ << "zorvik-search: no answer for the dialog \"" << spec.title << "\" ("
         << (pageDialog ? "--open-page" : "-o") << " FILE)\n";
    inputRejected_ = true;
  }
  return answer;
}

std::optional<std::string> CrawlHost::OpenFileDialog(const FileDialogSpec& spec) { return AnswerFileDialog(spec); }

std::optional<std::string> CrawlHost::SaveFileDialog(const FileDialogSpec& spec) { return AnswerFileDialog(spec); }

std::optional<std::string> CrawlHost::ChooseFolder(std::string_view, std::string_view) {
  return answers_.collection;
}

ListPick CrawlHost::PickFromList(std::string_view caption, const std::vector<std::string>& items,
                                 std::string_view) {
  const bool ffa = caption == "FFA Categories";
  const std::optional<std::string>& wanted = ffa ? answers_.ffaCode : answers_.option;
  if (!wanted) return {};  // closed without a choice
  for (const std::string& item : items) {
    const bool match = ffa ? item.compare(0, 4, *wanted) == 0 && wanted->size() == 4 : item == *wanted;
    if (match) return {ListPick::Outcome::Chosen, item};
  }
  ClearStatusLine();
  err_ << "zorvik-search: \"" << *wanted << "\" is not in the list \"" << caption << "\"\n";
  inputRejected_ = true;
  return {};
}

}  // namespace zorvik::cli
