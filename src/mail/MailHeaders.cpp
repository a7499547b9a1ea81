#include "mail/MailHeaders.h"

#include <array>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace zorvik::mail {
namespace {

constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Raw bytes per encoded word: 39 bytes make 52 base64 characters and a word
// of 64, which fits a 76-character line after "Subject: ".
constexpr std::size_t kWordBytes = 39;
constexpr std::size_t kFoldAt = 78;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsPlainAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80 || (c < 0x20 && c != '\t') || c == 0x7F) return false;
  // A literal "=?" would be read as the start of an encoded word.
  return s.find("=?") == std::string_view::npos;
}

std::string Base64(std::string_view bytes) {
  std::string out;
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += kBase64[(v >> 6) & 63];
    out += kBase64[v & 63];
  }
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += rest == 2 ? kBase64[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Start of the UTF-8 character that holds byte `pos` (pos itself for a
// malformed sequence, so cutting never loops).
std::size_t CharStart(std::string_view s, std::size_t pos) {
  std::size_t p = pos;
  while (p > 0 && pos - p < 3 && (static_cast<unsigned char>(s[p]) & 0xC0) == 0x80) --p;
  return (static_cast<unsigned char>(s[p]) & 0xC0) == 0x80 || p == 0 ? pos : p;
}

std::string EncodedWords(std::string_view value) {
  std::string out;
  std::size_t pos = 0;
  while (pos < value.size()) {
    std::size_t end = std::min(value.size(), pos + kWordBytes);
    if (end < value.size()) {
      const std::size_t cut = CharStart(value, end);
      if (cut > pos) end = cut;
    }
    if (!out.empty()) out += ' ';
    out += "=?UTF-8?B?" + Base64(value.substr(pos, end - pos)) + "?=";
    pos = end;
  }
  return out;
}

}  // namespace

bool HasLineBreak(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::vector<std::string> SplitAddressList(std::string_view list) {
  std::vector<std::string> out;
  bool quoted = false;
  int angle = 0;
  int comment = 0;
  std::size_t start = 0;
  auto flush = [&](std::size_t end) {
    const std::string_view entry = Trim(list.substr(start, end - start));
    if (!entry.empty()) out.emplace_back(entry);
    start = end + 1;
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    const char c = list[i];
    if (quoted) {
      if (c == '\\') ++i;
      else if (c == '"') quoted = false;
      continue;
    }
    if (c == '"') quoted = true;
    else if (c == '<') ++angle;
    else if (c == '>' && angle > 0) --angle;
    else if (c == '(') ++comment;
    else if (c == ')' && comment > 0) --comment;
    else if ((c == ',' || c == ';') && angle == 0 && comment == 0) flush(i);
  }
  flush(list.size());
  return out;
}

std::string AddrSpec(std::string_view entry) {
  const std::size_t open = entry.rfind('<');
  if (open != std::string_view::npos) {
    const std::size_t close = entry.find('>', open);
    if (close != std::string_view::npos)
      return std::string(Trim(entry.substr(open + 1, close - open - 1)));
  }
  return std::string(Trim(entry));
}

bool EnvelopeAddress(std::string_view entry, std::string& address) {
  address.clear();
  entry = Trim(entry);
  // The first "<" that is not inside a quoted display name or a comment.
  std::size_t open = std::string_view::npos;
  bool quoted = false;
  int comment = 0;
  for (std::size_t i = 0; i < entry.size() && open == std::string_view::npos; ++i) {
    const char c = entry[i];
    if (quoted) {
      if (c == '\\') ++i;
      else if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '(') {
      ++comment;
    } else if (c == ')' && comment > 0) {
      --comment;
    } else if (c == '<' && comment == 0) {
      open = i;
    }
  }
  std::string_view inner = entry;
  if (open != std::string_view::npos) {
    const std::size_t close = entry.find('>', open);
    if (close == std::string_view::npos || !Trim(entry.substr(close + 1)).empty()) return false;
    inner = entry.substr(open + 1, close - open - 1);
  }
  for (unsigned char c : inner)
    if (c == '<' || c == '>' || c <= ' ' || c == 0x7F) return false;
  address.assign(inner);
  return true;
}

std::string FormatAddressList(std::string_view list) {
  std::string out;
  for (const std::string& entry : SplitAddressList(list)) {
    if (!out.empty()) out += ", ";
    const std::size_t open = entry.rfind('<');
    if (open == std::string::npos || IsPlainAscii(entry.substr(0, open))) {
      out += entry;
      continue;
    }
    std::string_view name = Trim(std::string_view(entry).substr(0, open));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
      name = name.substr(1, name.size() - 2);
    out += EncodedWords(name) + " " + entry.substr(open);
  }
  return out;
}

std::string EncodeUnstructured(std::string_view value) {
  if (IsPlainAscii(value)) return std::string(value);
  return EncodedWords(value);
}

std::string HeaderLine(std::string_view name, std::string_view value) {
  std::string line = std::string(name) + ": " + std::string(value);
  std::string out;
  std::size_t lineStart = 0;
  // Fold before a blank that lies past the header name, as late as the
  // 78-character limit allows; a line without such a blank stays long.
  while (line.size() - lineStart > kFoldAt) {
    std::size_t cut = std::string::npos;
    const std::size_t minCut = lineStart + (lineStart == 0 ? name.size() + 2 : 1);
    for (std::size_t i = lineStart + kFoldAt; i > minCut; --i) {
      if (line[i] == ' ' || line[i] == '\t') {
        cut = i;
        break;
      }
    }
    if (cut == std::string::npos) {
      for (std::size_t i = lineStart + kFoldAt; i < line.size(); ++i) {
        if (line[i] == ' ' || line[i] == '\t') {
          cut = i;
          break;
        }
      }
    }
    if (cut == std::string::npos) break;
    out.append(line, lineStart, cut - lineStart);
    out += "\r\n";
    lineStart = cut;
  }
  out.append(line, lineStart, std::string::npos);
  out += "\r\n";
  return out;
}

std::string FormatMailDate(std::chrono::system_clock::time_point when) {
  static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[tm.tm_wday % 7],
                tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return buf;
}

std::string ToCrlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace zorvik::mail
