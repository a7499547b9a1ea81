// Fuzz target: the address harvest and the title extraction, on page text
// from anywhere. Neither may crash or read outside the text; the candidate
// must equal a plain step-by-step reading of the two windows (copying the
// remaining window at every step), a recorded address must hold an "@" and
// no control character, and the page text must be empty afterwards.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

#include "core/HeadlessHost.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "harvest/AddressHarvester.h"
#include "harvest/PageTitle.h"

namespace {

using namespace zorvik;

std::string ReferenceCandidate(std::string_view page) {
  const std::size_t pos = text::InStr(page, "@");
  if (pos == 0) return {};
  std::string local;
  if (pos > 30) {
    std::string w(text::Mid(page, pos - 30, 30));
    for (std::size_t i = 30; i >= 1; --i) {
      const char c = w.back();
      w = w.substr(0, i);
      if (std::string_view(" \r\n<\"").find(c) != std::string_view::npos) {
        local = text::Mid(page, pos - 30 + i, 31 - i);
        break;
      }
      if (std::string_view(":@>;/\\=()[]`!#$%^&*?").find(c) != std::string_view::npos || text::IsControlCharacter(c)) {
        local = text::Mid(page, pos - 30 + i + 1, 30 - i);
        break;
      }
    }
  }
  std::string domain;
  std::string r(text::Mid(page, pos, 30));
  for (std::size_t j = 1; j <= 30; ++j) {
    bool delimiter = r.empty();
    if (!delimiter) {
      delimiter = std::string_view(" \"\r<>&/\\=)[]`!\n#$%^*?|(").find(r.front()) != std::string_view::npos ||
                  text::IsControlCharacter(r.front());
      r = r.substr(1);
    }
    if (delimiter) {
      domain = text::Mid(page, pos + 1, j - 2);
      break;
    }
  }
  return std::string(text::LTrim(local + domain));
}

std::optional<std::string> ReferenceTitle(std::string_view page) {
  const std::string lower = text::LCase(page);
  const long start = static_cast<long>(text::InStr(lower, "<title>")) + 7;
  const long end = static_cast<long>(text::InStr(lower, "</title>"));
  if (end - start < 0) return std::nullopt;
  std::string t(text::Mid(page, start, end - start));
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') continue;  // CR LF: one blank
    out.push_back(text::IsControlCharacter(t[i]) ? ' ' : t[i]);
  }
  return out;
}

struct Fixture {
  Fixture() {
    std::filesystem::create_directories(dir);
    state.ResultBaseName = "fuzz";
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  // Declared before the harvester, which takes a copy of it.
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("zorvik-fuzz-harvest-" + std::to_string(::getpid()));
  HeadlessHost host;
  RobotForm form;
  SearchState state;
  harvest::AddressHarvester harvester{host, form, state, dir};
  unsigned runs = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture f;
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  if (harvest::FindCandidate(page, &f.host) != ReferenceCandidate(page)) __builtin_trap();
  if (harvest::TitleOf(page) != ReferenceTitle(page)) __builtin_trap();

  // Half of the runs start with the previous address taken from the input.
  if (size > 0 && (data[0] & 1)) f.harvester.SetPreviousAddress(std::string(page.substr(0, 40)));
  f.form.PageText.assign(page);
  const std::optional<std::string> recorded = f.harvester.Harvest();
  if (!f.form.PageText.empty()) __builtin_trap();
  if (recorded) {
    if (recorded->find('@') == std::string::npos) __builtin_trap();
    if (text::HasControlCharacter(*recorded)) __builtin_trap();
    if (f.harvester.PreviousAddress() != *recorded || f.form.List1.back() != *recorded) __builtin_trap();
  }
  if (++f.runs % 4096 == 0) {
    std::error_code ec;
    std::filesystem::remove(f.harvester.AddressFilePath(), ec);
    f.form.List1.clear();
  }
  return 0;
}
