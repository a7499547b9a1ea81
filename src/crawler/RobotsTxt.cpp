#include "crawler/RobotsTxt.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

#include "core/Text.h"

namespace zorvik {

namespace {

constexpr std::size_t kMaxFileBytes = 500 * 1024;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The first place at or after `from` where `needle` (not empty) occurs in
// `text` and ends at or before `limit`; npos when there is none. Knuth,
// Morris and Pratt: every character of the text is looked at once.
std::size_t FindFrom(std::string_view text, std::size_t from, std::size_t limit, std::string_view needle) {
  std::vector<std::size_t> border(needle.size(), 0);
  for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
    if (needle[i] == needle[k]) ++k;
    border[i] = k;
  }
  for (std::size_t i = from, k = 0; i < limit; ++i) {
    while (k > 0 && text[i] != needle[k]) k = border[k - 1];
    if (text[i] == needle[k]) ++k;
    if (k == needle.size()) return i + 1 - k;
  }
  return std::string_view::npos;
}

// Does `pattern` match the start of `path`? "*" matches any run, "$" at the
// end of the pattern anchors it to the end of the path. The pieces between
// the stars are taken leftmost-first, which finds a match whenever there is
// one, in time linear in the lengths of pattern and path together.
bool PatternMatches(std::string_view pattern, std::string_view path) {
  bool anchored = false;
  if (!pattern.empty() && pattern.back() == '$') {
    anchored = true;
    pattern.remove_suffix(1);
  }
  const std::size_t firstStar = pattern.find('*');
  if (firstStar == std::string_view::npos) {
    return anchored ? path == pattern : path.substr(0, pattern.size()) == pattern;
  }
  // Before the first star: the start of the path.
  const std::string_view head = pattern.substr(0, firstStar);
  if (path.substr(0, head.size()) != head) return false;
  // After the last star: the end of the path when anchored.
  const std::size_t lastStar = pattern.rfind('*');
  const std::string_view tail = pattern.substr(lastStar + 1);
  std::size_t limit = path.size();
  if (anchored) {
    if (path.size() < head.size() + tail.size() || path.substr(path.size() - tail.size()) != tail) return false;
    limit -= tail.size();
  }
  std::size_t pos = head.size();
  const std::string_view middle = pattern.substr(firstStar, lastStar - firstStar + (anchored ? 0 : tail.size() + 1));
  for (std::size_t start = 0; start < middle.size();) {
    std::size_t end = middle.find('*', start);
    if (end == std::string_view::npos) end = middle.size();
    if (end > start) {
      const std::size_t at = FindFrom(path, pos, limit, middle.substr(start, end - start));
      if (at == std::string_view::npos) return false;
      pos = at + (end - start);
    }
    start = end + 1;
  }
  return true;
}

// The length that ranks a rule: its pattern without the anchor.
std::size_t Specificity(std::string_view pattern) { return pattern.size(); }

}  // namespace

RobotsRules RobotsRules::Parse(std::string_view text, std::string_view agent) {
  if (text.size() > kMaxFileBytes) text = text.substr(0, kMaxFileBytes);
  RobotsRules mine;  // groups naming this robot
  RobotsRules any;   // groups for "*"
  bool sawMine = false;
  // The group being read applies to this robot / to everyone.
  bool forMine = false;
  bool forAny = false;
  bool inAgentLines = false;  // consecutive user-agent lines open one group

  while (!text.empty()) {
    std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string key = text::LCase(TrimBlanks(line.substr(0, colon)));
    const std::string_view value = TrimBlanks(line.substr(colon + 1));

    if (key == "user-agent") {
      if (!inAgentLines) {
        forMine = false;
        forAny = false;
      }
      inAgentLines = true;
      // The product token: letters, "-" and "_" up to the first other character.
      std::size_t n = 0;
      while (n < value.size() && (std::isalpha(static_cast<unsigned char>(value[n])) || value[n] == '-' ||
                                  value[n] == '_')) {
        ++n;
      }
      const std::string_view token = value.substr(0, n);
      if (value == "*") {
        forAny = true;
      } else if (!token.empty() && text::EqualsNoCase(token, agent)) {
        forMine = true;
        sawMine = true;
      }
      continue;
    }
    inAgentLines = false;
    if (!forMine && !forAny) continue;
    if (key == "allow" || key == "disallow") {
      if (value.empty()) continue;  // "Disallow:" with nothing refuses nothing
      const Rule rule{key == "allow", std::string(value)};
      if (forMine) mine.rules_.push_back(rule);
      if (forAny) any.rules_.push_back(rule);
    } else if (key == "crawl-delay") {
      double seconds = 0;
      const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (ec == std::errc() && std::isfinite(seconds) && seconds >= 0) {
        if (forMine) mine.crawlDelay_ = seconds;
        if (forAny) any.crawlDelay_ = seconds;
      }
    }
  }
  return sawMine ? mine : any;
}

bool RobotsRules::Allows(std::string_view address) const {
  const std::string path = address.find("//") != std::string_view::npos ? RobotsPathOf(address)
                                                                        : std::string(address);
  if (path == "/robots.txt") return true;
  bool allowed = true;
  std::size_t best = 0;
  bool any = false;
  for (const Rule& rule : rules_) {
    if (!PatternMatches(rule.pattern, path)) continue;
    const std::size_t length = Specificity(rule.pattern);
    if (!any || length > best || (length == best && rule.allow)) {
      allowed = rule.allow;
      best = length;
      any = true;
    }
  }
  return allowed;
}

namespace {

// The path with its "." and ".." segments resolved, as the transfer
// component sends it: "/a/../private/p.htm" is "/private/p.htm".
std::string WithoutDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t at = 1;  // past the leading "/"
  bool directory = false;  // the path ends in a folder ("/", "/." or "/..")
  while (at <= path.size()) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    const std::string_view segment = path.substr(at, end - at);
    directory = segment == "." || segment == "..";
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (segment != ".") {
      kept.push_back(segment);
    }
    at = end + 1;
  }
  std::string out;
  for (const std::string_view segment : kept) {
    out += '/';
    out += segment;
  }
  if (out.empty() || directory) out += '/';
  return out;
}

}  // namespace

std::string RobotsPathOf(std::string_view address) {
  const std::size_t slashes = address.find("//");
  std::string_view rest = slashes == std::string_view::npos ? address : address.substr(slashes + 2);
  const std::size_t start = rest.find_first_of("/?#");
  if (start == std::string_view::npos) return "/";
  rest = rest.substr(start);
  if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos) rest = rest.substr(0, hash);
  if (rest.empty() || rest.front() != '/') return "/" + std::string(rest);
  const std::size_t query = rest.find('?');
  const std::string_view path = rest.substr(0, query);
  if (path.find("/.") == std::string_view::npos) return std::string(rest);
  return WithoutDotSegments(path) + std::string(query == std::string_view::npos ? "" : rest.substr(query));
}

std::string RobotsFileAddressFor(std::string_view address) {
  const std::size_t slashes = address.find("//");
  if (slashes == std::string_view::npos) return {};
  const std::size_t end = address.find_first_of("/?#", slashes + 2);
  return std::string(address.substr(0, end)) + "/robots.txt";
}

}  // namespace zorvik
