#include "support/FakeHost.h"

namespace zorvik::testing {

FakeHost::FakeHost() : Host(std::chrono::microseconds(0)) {}
FakeHost::FakeHost(std::chrono::microseconds pumpInterval) : Host(pumpInterval) {}

void FakeHost::ShowStatus(int panel, std::string_view text) {
  statusHistory[panel].emplace_back(text);
}

std::string FakeHost::Status(int panel) const {
  const auto it = statusHistory.find(panel);
  return it == statusHistory.end() || it->second.empty() ? std::string() : it->second.back();
}

MsgAnswer FakeHost::MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                           std::string_view title) {
  messages.push_back({std::string(text), buttons, icon, std::string(title)});
  if (!msgAnswers.empty()) {
    const MsgAnswer a = msgAnswers.front();
    msgAnswers.pop_front();
    return a;
  }
  return FirstButton(buttons);
}

namespace {
std::optional<std::string> NextAnswer(std::deque<std::optional<std::string>>& answers) {
  if (answers.empty()) return std::nullopt;
  auto a = answers.front();
  answers.pop_front();
  return a;
}
}  // namespace

std::optional<std::string> FakeHost::OpenFileDialog(const FileDialogSpec& spec) {
  dialogs.push_back(spec);
  return NextAnswer(dialogAnswers);
}

std::optional<std::string> FakeHost::SaveFileDialog(const FileDialogSpec& spec) {
  dialogs.push_back(spec);
  return NextAnswer(dialogAnswers);
}

std::optional<std::string> FakeHost::ChooseFolder(std::string_view title,
                                                  std::string_view initialDir) {
  dialogs.push_back({std::string(title), {}, {}, std::string(initialDir)});
  return NextAnswer(dialogAnswers);
}

ListPick FakeHost::PickFromList(std::string_view caption, const std::vector<std::string>& items,
                                std::string_view buttonText) {
  pickers.push_back({std::string(caption), items, std::string(buttonText)});
  if (pickAnswers.empty()) return {};
  ListPick a = pickAnswers.front();
  pickAnswers.pop_front();
  return a;
}

void FakeHost::SetMousePointer(MousePointer p) { pointer = p; }

std::chrono::system_clock::time_point FakeHost::Now() { return clock; }

bool FakeHost::ShellOpen(std::string_view target) {
  shellOpened.emplace_back(target);
  return true;
}

bool FakeHost::StartProcess(std::string_view program, const std::vector<std::string>&) {
  shellOpened.emplace_back(program);
  return true;
}

void FakeHost::PumpPlatform() {
  clock += tick;
  if (onPump) onPump();
}

void FakeHost::WaitPlatform(std::chrono::milliseconds) {}

}  // namespace zorvik::testing
