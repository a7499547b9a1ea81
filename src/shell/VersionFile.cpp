#include "shell/VersionFile.h"

#include <cctype>
#include <charconv>
#include <map>

#include "core/Text.h"

namespace zorvik {

namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool Digits(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::uint32_t Number(std::string_view s) {
  std::uint32_t n = 0;
  std::from_chars(s.data(), s.data() + s.size(), n);
  return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && text::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// scheme://authority of an http or https address, or empty.
std::string_view Origin(std::string_view url) {
  std::size_t skip = 0;
  if (StartsWithNoCase(url, "http://")) skip = 7;
  else if (StartsWithNoCase(url, "https://")) skip = 8;
  else return {};
  const std::size_t end = url.find_first_of("/?#", skip);
  if (end == skip) return {};
  return url.substr(0, end);
}

// The archive's address, absolute; empty when it cannot be made one.
std::string Resolve(std::string_view archive, std::string_view fileUrl) {
  if (!Origin(archive).empty()) return std::string(archive);
  if (archive.find("://") != std::string_view::npos || archive.substr(0, 2) == "//") return {};
  const std::string_view origin = Origin(fileUrl);
  if (origin.empty()) return {};
  if (archive.front() == '/') return std::string(origin) + std::string(archive);
  std::string_view path = fileUrl.substr(origin.size());
  path = path.substr(0, path.find_first_of("?#"));
  path = path.substr(0, path.rfind('/') + 1);
  return std::string(origin) + (path.empty() ? "/" : std::string(path)) + std::string(archive);
}

// The last part of the address's path, when it is a safe file name.
std::string SafeName(std::string_view url) {
  std::string_view path = url.substr(Origin(url).size());
  path = path.substr(0, path.find_first_of("?#"));
  const std::string_view name = path.substr(path.rfind('/') + 1);
  if (name.empty() || name.size() > 200 || name.front() == '.') return {};
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_' || c == '+';
    if (!ok) return {};
  }
  return std::string(name);
}

}  // namespace

std::string ShownValue(std::string_view value) {
  constexpr std::size_t kMax = 80;
  std::string out(value.substr(0, kMax));
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  if (value.size() > kMax) out += "...";
  return out;
}

int ReleaseVersion::Compare(const ReleaseVersion& other) const {
  if (numbers != other.numbers) return numbers < other.numbers ? -1 : 1;
  if (build != other.build) return build < other.build ? -1 : 1;
  return 0;
}

std::optional<ReleaseVersion> ParseReleaseVersion(std::string_view version, std::string_view build) {
  ReleaseVersion out;
  if (!Digits(build, 9)) return std::nullopt;
  out.build = Number(build);
  std::size_t count = 0;
  std::string_view rest = version;
  while (true) {
    const std::size_t dot = rest.find('.');
    const std::string_view part = rest.substr(0, dot);
    if (count == out.numbers.size() || !Digits(part, 9)) return std::nullopt;
    out.numbers[count++] = Number(part);
    if (dot == std::string_view::npos) break;
    rest.remove_prefix(dot + 1);
  }
  out.text = std::string(version);
  return out;
}

std::optional<VersionFile> ParseVersionFile(std::string_view content, std::string_view fileUrl,
                                            std::string& error) {
  if (content.size() > kMaxVersionFileBytes) {
    error = "it is larger than " + std::to_string(kMaxVersionFileBytes / 1024) + " KB";
    return std::nullopt;
  }
  std::map<std::string, std::string> values;
  std::size_t lineNumber = 0;
  while (!content.empty()) {
    const std::size_t lf = content.find('\n');
    std::string_view line = content.substr(0, lf);
    content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      error = "line " + std::to_string(lineNumber) + " is not of the form name = value";
      return std::nullopt;
    }
    std::string name;
    for (char c : Trim(line.substr(0, eq))) name += text::LowerAscii(c);
    values[name] = std::string(Trim(line.substr(eq + 1)));
  }
  for (const char* required : {"version", "build", "archive"}) {
    if (values[required].empty()) {
      error = std::string("it has no \"") + required + "\" line";
      return std::nullopt;
    }
  }
  VersionFile file;
  const auto release = ParseReleaseVersion(values["version"], values["build"]);
  if (!release) {
    error = "its version \"" + ShownValue(values["version"]) + "\" or build \"" +
            ShownValue(values["build"]) + "\" is not a version number";
    return std::nullopt;
  }
  file.release = *release;
  const std::string& archive = values["archive"];
  for (char c : archive) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
      error = "its archive address holds blanks or control characters";
      return std::nullopt;
    }
  }
  file.archiveUrl = Resolve(archive, fileUrl);
  file.archiveName = file.archiveUrl.empty() ? std::string() : SafeName(file.archiveUrl);
  if (file.archiveName.empty()) {
    error = "its archive \"" + ShownValue(archive) + "\" is no http or https address of a file";
    return std::nullopt;
  }
  if (const std::string& size = values["size"]; !size.empty()) {
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(size.data(), size.data() + size.size(), n);
    if (ec != std::errc() || end != size.data() + size.size()) {
      error = "its size \"" + ShownValue(size) + "\" is not a number of bytes";
      return std::nullopt;
    }
    file.size = n;
  }
  if (const std::string& hash = values["sha256"]; !hash.empty()) {
    bool hex = hash.size() == 64;
    for (char c : hash) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
    if (!hex) {
      error = "its sha256 is not 64 hexadecimal digits";
      return std::nullopt;
    }
    for (char c : hash) file.sha256 += text::LowerAscii(c);
  }
  return file;
}

}  // namespace zorvik
