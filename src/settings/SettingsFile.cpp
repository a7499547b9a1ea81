#include "settings/SettingsFile.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "core/ProgramDirectory.h"
#include "harvest/AtomicFile.h"

namespace zorvik {

namespace fs = std::filesystem;

namespace {

// A settings file bigger than this is read no further: its remaining lines
// get their defaults.
constexpr std::uint64_t kMaxBytesRead = std::uint64_t{64} << 20;

constexpr int kLines = 11;

std::array<std::string*, 10> TextFields(MailSettings& s) {
  return {&s.PopHost,      &s.PopUserName,   &s.PopPassword, &s.SmtpHost,    &s.Email,
          &s.UserName,     &s.NoticeSender,  &s.NoticeAddress, &s.NoticePhone, &s.MailDirectory};
}

// Reads the lines of a settings file from `next` (a byte, or -1 at the end)
// into `settings` and returns how many lines there were. Memory stays
// bounded whatever the input: a line longer than kMaxSettingsLine is
// skipped, not stored.
template <class Next>
int ReadLines(Next next, MailSettings& settings) {
  const auto fields = TextFields(settings);
  std::string line;
  std::uint64_t read = 0;
  int c = next();
  int number = 0;
  while (number < kLines && c >= 0) {
    ++number;
    line.clear();
    bool tooLong = false;
    while (c >= 0 && c != '\r' && c != '\n') {
      if (++read > kMaxBytesRead) return number - 1;
      if (line.size() < kMaxSettingsLine) {
        line.push_back(static_cast<char>(c));
      } else {
        tooLong = true;
      }
      c = next();
    }
    if (c == '\r') {
      c = next();
      if (c == '\n') c = next();
    } else if (c == '\n') {
      c = next();
    }
    if (tooLong) continue;
    if (number <= 10) {
      *fields[static_cast<std::size_t>(number - 1)] = line;
    } else {
      settings.TimeOut = ParseTimeOut(line).value_or(0);
    }
  }
  return number;
}

}  // namespace

fs::path SettingsFilePath() { return SettingsDirectory() / std::string(kSettingsFileName); }

std::optional<std::int16_t> ParseTimeOut(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 32767)
    return std::nullopt;
  return static_cast<std::int16_t>(value);
}

bool ValueHasLineBreak(std::string_view value) {
  return value.find_first_of("\r\n") != std::string_view::npos;
}

void ParseSettings(std::string_view text, MailSettings& settings) {
  std::size_t at = 0;
  ReadLines([&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : -1; },
            settings);
}

std::string SettingsText(const MailSettings& settings, std::string_view mailDirectoryLine) {
  MailSettings copy = settings;
  copy.MailDirectory = std::string(mailDirectoryLine);
  std::string out;
  for (const std::string* field : TextFields(copy)) {
    out += *field;
    out += "\r\n";
  }
  // The sign place: a blank before a non-negative number, the minus sign
  // before a negative one; one blank after it.
  if (settings.TimeOut >= 0) out += ' ';
  out += std::to_string(settings.TimeOut);
  out += " \r\n";
  return out;
}

bool LoadSettingsFile(const fs::path& file, MailSettings& settings) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  MailSettings loaded;
  std::streambuf* buf = in.rdbuf();
  const int lines = ReadLines([buf]() -> int {
    const auto c = buf->sbumpc();
    return c == std::char_traits<char>::eof() ? -1 : static_cast<unsigned char>(c);
  }, loaded);
  // An empty file gave nothing to load: treated like a missing one.
  if (lines == 0 || in.bad()) return false;
  settings = std::move(loaded);
  return true;
}

void ApplyLoadDefaults(MailSettings& settings) {
  if (settings.TimeOut == 0) settings.TimeOut = 60;
  if (!settings.MailDirectory.empty() && settings.MailDirectory.back() == '\\')
    settings.MailDirectory.pop_back();
}

bool SaveSettingsFile(const fs::path& file, const MailSettings& settings,
                      std::string_view mailDirectoryLine) {
  MailSettings copy = settings;
  copy.MailDirectory = std::string(mailDirectoryLine);
  for (const std::string* field : TextFields(copy)) {
    if (ValueHasLineBreak(*field)) return false;
  }
  std::error_code ec;
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  harvest::AtomicFile out(file, 0600);
  out.Write(SettingsText(settings, mailDirectoryLine));
  return out.Commit();
}

}  // namespace zorvik
