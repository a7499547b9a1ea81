#include "engines/EngineEndpoints.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "core/Host.h"
#include "core/ProgramDirectory.h"
#include "core/Text.h"
#include "engines/EngineCatalogue.h"

namespace zorvik {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool HostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool Ipv6Char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

std::size_t IndexOf(const EngineRecord& engine) {
  const auto table = EngineTable();
  if (&engine < table.data() || &engine >= table.data() + table.size()) return table.size();
  return static_cast<std::size_t>(&engine - table.data());
}

std::string Shown(std::string_view line) {
  constexpr std::size_t kMaxShown = 80;
  std::string out(line.substr(0, kMaxShown));
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  if (line.size() > kMaxShown) out += "...";
  return out;
}

// The name in kPageNames that `name` spells in any case, or empty.
std::string_view PageName(std::string_view name) {
  for (std::string_view page : EngineEndpoints::kPageNames) {
    if (text::EqualsNoCase(name, page)) return page;
  }
  return {};
}

// An http, https or file address without blanks or control characters.
bool UsablePageAddress(std::string_view value) {
  bool schemeOk = false;
  for (std::string_view scheme : {"http://", "https://", "file:///"}) {
    schemeOk = schemeOk || (value.size() > scheme.size() &&
                            text::EqualsNoCase(value.substr(0, scheme.size()), scheme));
  }
  if (!schemeOk) return false;
  for (char c : value) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  }
  return true;
}

}  // namespace

EngineEndpoints::EngineEndpoints() {
  for (const EngineRecord& engine : EngineTable()) endpoints_.push_back(DefaultEndpoint(engine.name));
}

std::string EngineEndpoints::DefaultEndpoint(std::string_view displayName) {
  std::string out = "http://www.";
  for (char c : displayName) {
    if (c != ' ') out += text::LowerAscii(c);
  }
  out += ".com";
  return out;
}

std::optional<std::string> EngineEndpoints::ParseEndpoint(std::string_view value) {
  constexpr std::string_view kScheme = "http://";
  if (value.size() <= kScheme.size() || !text::EqualsNoCase(value.substr(0, kScheme.size()), kScheme))
    return std::nullopt;
  std::string_view rest = value.substr(kScheme.size());
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  std::string_view host;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos || close < 2) return std::nullopt;
    for (char c : rest.substr(1, close - 1)) {
      if (!Ipv6Char(c)) return std::nullopt;
    }
    host = rest.substr(0, close + 1);
    rest.remove_prefix(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else {
    const std::size_t colon = rest.find(':');
    host = rest.substr(0, colon);
    if (colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
      if (port.empty()) return std::nullopt;
    }
    if (host.empty()) return std::nullopt;
    for (char c : host) {
      if (!HostChar(c)) return std::nullopt;
    }
  }
  if (!port.empty()) {
    if (port.size() > 5) return std::nullopt;
    unsigned number = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
      number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number == 0 || number > 65535) return std::nullopt;
  }
  std::string out(value.substr(0, kScheme.size()));
  out += host;
  if (!port.empty()) {
    out += ':';
    out += port;
  }
  return out;
}

std::string EngineEndpoints::Endpoint(const EngineRecord& engine) const {
  const std::size_t at = IndexOf(engine);
  return at < endpoints_.size() ? endpoints_[at] : DefaultEndpoint(engine.name);
}

void EngineEndpoints::Set(const EngineRecord& engine, std::string endpoint) {
  const std::size_t at = IndexOf(engine);
  if (at < endpoints_.size()) endpoints_[at] = std::move(endpoint);
}

std::string EngineEndpoints::PageAddress(std::string_view name) const {
  const auto it = pages_.find(name);
  return it == pages_.end() ? std::string() : it->second;
}

std::vector<std::string> EngineEndpoints::Parse(std::string_view content) {
  std::vector<std::string> problems;
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  std::size_t lineNumber = 0;
  while (!content.empty()) {
    const std::size_t lf = content.find('\n');
    std::string_view raw = content.substr(0, lf);
    content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
    ++lineNumber;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;

    const auto skip = [&](std::string_view why) {
      problems.push_back("line " + std::to_string(lineNumber) + " skipped (" + std::string(why) +
                         "): " + Shown(line));
    };
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      skip("expected LIST/Display name = http://host[:port]");
      continue;
    }
    if (const std::string_view page = PageName(TrimBlanks(line.substr(0, eq))); !page.empty()) {
      const std::string_view value = TrimBlanks(line.substr(eq + 1));
      if (UsablePageAddress(value)) {
        pages_[std::string(page)] = std::string(value);
      } else {
        skip("not an http, https or file address");
      }
      continue;
    }
    const EngineRecord* engine = FindEngine(TrimBlanks(line.substr(0, eq)));
    if (engine == nullptr) {
      skip("no such engine");
      continue;
    }
    std::optional<std::string> endpoint = ParseEndpoint(TrimBlanks(line.substr(eq + 1)));
    if (!endpoint) {
      skip("not an address of the form http://host[:port]");
      continue;
    }
    Set(*engine, std::move(*endpoint));
  }
  return problems;
}

EngineEndpoints EngineEndpoints::Load(const std::filesystem::path& dir, Host& host) {
  EngineEndpoints endpoints;
  const std::optional<std::filesystem::path> found = layout::FindShippedFile(kFileName, dir, ExecutableDirectory());
  if (!found) return endpoints;
  const std::filesystem::path& path = *found;
  std::ifstream in(path, std::ios::binary);
  if (!in) return endpoints;
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::vector<std::string> problems = endpoints.Parse(content);
  if (!problems.empty()) {
    std::string message = path.string() + ":";
    for (const std::string& p : problems) message += "\n" + p;
    host.MsgBox(message, MsgButtons::Ok, MsgIcon::Exclamation, kFileName);
  }
  return endpoints;
}

}  // namespace zorvik
