#include "harvest/AddressHarvester.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "core/Host.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"

namespace zorvik::harvest {

namespace {

enum class LeftKind : unsigned char { None, Kept, Dropped };

// Characters that end the local part, scanning backwards from the "@". A kept
// delimiter stays at the front of the local part (cleaning or the blank trim
// removes it later); a dropped one does not.
constexpr std::array<LeftKind, 256> MakeLeftTable() {
  std::array<LeftKind, 256> t{};
  // Control characters end an address on both sides (CR and LF are kept,
  // for cleaning to remove), so none ever reaches the address file.
  for (int c = 0; c < 256; ++c) {
    if (text::IsControlCharacter(static_cast<char>(c))) t[static_cast<std::size_t>(c)] = LeftKind::Dropped;
  }
  for (unsigned char c : std::string_view(" \r\n<\"")) t[c] = LeftKind::Kept;
  for (unsigned char c : std::string_view(":@>;/\\=()[]`!#$%^&*?")) t[c] = LeftKind::Dropped;
  return t;
}
constexpr std::array<LeftKind, 256> kLeft = MakeLeftTable();

// Characters that end the domain part. ":", ";", "," and "." do not.
constexpr std::array<bool, 256> MakeRightTable() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = text::IsControlCharacter(static_cast<char>(c));
  for (unsigned char c : std::string_view(" \"\r<>&/\\=)[]`!\n#$%^*?|(")) t[c] = true;
  return t;
}
constexpr std::array<bool, 256> kRight = MakeRightTable();

void Yield(Host* host) {
  if (host) host->DoEvents();
}

}  // namespace

std::string FindCandidate(std::string_view page, Host* host) {
  const std::size_t at = page.find('@');  // 0-based index of the "@"
  if (at == std::string_view::npos) return {};

  // Copies of both windows, taken before anything yields. The left window is
  // the 30 characters just before the "@"; with fewer than 30 characters
  // before it there is none, and so no local part.
  const bool haveLeft = at >= kWindow;
  std::array<char, kWindow> left{};
  if (haveLeft) page.copy(left.data(), kWindow, at - kWindow);
  std::array<char, kWindow> right{};  // right[0] is the "@"
  const std::size_t rightSize = page.copy(right.data(), kWindow, at);

  // Local part. Step i (30 down to 1) tests left[29] at i = 30 and left[i]
  // below; a delimiter found at step i counts as standing at left index i
  // (index 30 being the "@"), so a delimiter just before the "@" gives the
  // "@" alone when kept and nothing when dropped.
  std::string local;
  if (haveLeft) {
    for (std::size_t i = kWindow; i >= 1; --i) {
      const char c = left[i == kWindow ? kWindow - 1 : i];
      Yield(host);
      const LeftKind kind = kLeft[static_cast<unsigned char>(c)];
      if (kind == LeftKind::None) continue;
      const std::size_t from = kind == LeftKind::Kept ? i : i + 1;  // index into left + "@"
      if (from <= kWindow) {
        local.assign(left.data() + from, kWindow - from);
        local.push_back('@');
      }
      break;
    }
  }

  // Domain part. Step j (1 to 30) tests the character j - 1 places after the
  // "@" ("@" itself first); the end of the page ends it like a delimiter. With
  // no delimiter within the window the domain stays empty.
  std::string domain;
  for (std::size_t j = 1; j <= kWindow; ++j) {
    const bool end = j > rightSize;
    const bool delimiter = end || kRight[static_cast<unsigned char>(right[j - 1])];
    Yield(host);
    if (!delimiter) continue;
    if (j >= 2) domain.assign(right.data() + 1, j - 2);
    break;
  }

  std::string candidate = std::move(local);
  candidate += domain;
  const std::size_t firstNonBlank = candidate.find_first_not_of(' ');
  candidate.erase(0, firstNonBlank == std::string::npos ? candidate.size() : firstNonBlank);
  return candidate;
}

bool AcceptCandidate(std::string_view candidate, std::string_view previous) {
  if (text::EqualsNoCase(text::LTrim(candidate), text::LTrim(previous))) return false;
  if (candidate.size() < 6) return false;
  if (candidate == " ") return false;
  if (candidate.find('@') == std::string_view::npos) return false;
  if (candidate.find("HIDDEN") != std::string_view::npos) return false;
  if (candidate.find("hidden") != std::string_view::npos) return false;
  if (text::ContainsNoCase(candidate, "listserv")) return false;
  if (text::ContainsNoCase(candidate, "majordomo")) return false;
  return true;
}

std::string CleanCandidate(std::string_view c) {
  for (const char lead : {'"', '\n', '\r', '<'}) {
    if (!c.empty() && c.front() == lead) c.remove_prefix(1);
  }
  for (const char trail : {'.', ',', '>'}) {
    if (!c.empty() && c.back() == trail) c.remove_suffix(1);
  }
  return std::string(c);
}

std::string TimeOfDayText(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  if (!localtime_r(&t, &local)) return {};
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

std::error_code AppendLines(const std::filesystem::path& file, std::initializer_list<std::string_view> lines) {
  std::string record;
  for (const std::string_view line : lines) {
    for (const char c : line) record.push_back(text::IsControlCharacter(c) ? ' ' : c);
    record += "\r\n";
  }
  // Not blocking: a pipe without a reader is an error, not a wait.
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return {errno, std::generic_category()};
  struct stat before {};
  const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  std::error_code error;
  for (std::string_view rest = record; !rest.empty();) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error.assign(errno, std::generic_category());
      break;
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  // Whatever part of the record got through is cut off again.
  if (error && regular && ::ftruncate(fd, before.st_size) != 0) {
    // Nothing more to be done: the error already tells what went wrong.
  }
  if (::close(fd) != 0 && !error) error.assign(errno, std::generic_category());
  return error;
}

AddressHarvester::AddressHarvester(Host& host, RobotForm& form, const SearchState& state,
                                   std::filesystem::path programDirectory)
    : host_(host), form_(form), state_(state), programDirectory_(std::move(programDirectory)) {}

std::filesystem::path AddressHarvester::AddressFilePath() const {
  return programDirectory_ / (state_.ResultBaseName + "_mailfile.txt");
}

std::optional<std::string> AddressHarvester::Harvest() {
  host_.SetMousePointer(MousePointer::Hourglass);
  writeError_.clear();
  std::optional<std::string> recorded;
  const std::string candidate = FindCandidate(form_.PageText, &host_);
  if (!candidate.empty() && AcceptCandidate(candidate, previous_)) {
    std::string address = CleanCandidate(candidate);
    if (address != previous_) {
      writeError_ = AppendLine(AddressFilePath(), address);  // a file error still lists the address
      form_.List1.push_back(address);
      ++form_.FoundCount;
      host_.ShowStatus(3, "# Address Found: " + std::to_string(form_.FoundCount));
      host_.ShowStatus(4, "Found at: " + TimeOfDayText(host_.Now()));
      previous_ = address;
      recorded = std::move(address);
    }
  }
  host_.DoEvents();
  form_.PageText.clear();
  form_.PageAccumulator.clear();
  host_.SetMousePointer(MousePointer::Default);
  form_.OpenedPageWaiting = false;
  return recorded;
}

}  // namespace zorvik::harvest
