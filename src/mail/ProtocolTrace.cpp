#include "mail/ProtocolTrace.h"

#include <cctype>

namespace zorvik::mail {
namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

void SplitLines(std::string& pending, std::string_view bytes, std::vector<std::string>& out) {
  pending.append(bytes);
  std::size_t start = 0;
  std::size_t nl;
  while ((nl = pending.find('\n', start)) != std::string::npos) {
    std::size_t end = nl;
    if (end > start && pending[end - 1] == '\r') --end;
    out.emplace_back(pending, start, end - start);
    start = nl + 1;
  }
  pending.erase(0, start);
}

}  // namespace

std::string ProtocolTrace::Redact(std::string_view line, bool fromClient) {
  if (fromClient) {
    if (StartsWithNoCase(line, "AUTH ") || StartsWithNoCase(line, "AUTHENTICATE ")) {
      inAuth_ = true;
      const std::size_t sp = line.find(' ');
      const std::size_t mechEnd = line.find(' ', sp + 1);
      std::string shown(line.substr(0, mechEnd));
      if (mechEnd != std::string_view::npos) shown += " ****";
      return shown;
    }
    if (StartsWithNoCase(line, "PASS ")) return "PASS ****";
    if (StartsWithNoCase(line, "APOP ")) {
      const std::size_t sp = line.find(' ', 5);
      return std::string(line.substr(0, sp)) + " ****";
    }
    if (inAuth_) return "****";
    return std::string(line);
  }
  // Server: SASL challenges are hidden; a final reply ends the exchange.
  if (StartsWithNoCase(line, "334")) return "334 ****";
  if (line == "+" || StartsWithNoCase(line, "+ ")) return "+ ****";
  inAuth_ = false;
  return std::string(line);
}

void ProtocolTrace::Client(std::string_view bytes, std::vector<std::string>& lines) {
  std::vector<std::string> raw;
  SplitLines(clientPending_, bytes, raw);
  for (const auto& l : raw) lines.push_back(Redact(l, true));
}

void ProtocolTrace::Server(std::string_view bytes, std::vector<std::string>& lines) {
  std::vector<std::string> raw;
  SplitLines(serverPending_, bytes, raw);
  for (const auto& l : raw) lines.push_back(Redact(l, false));
}

std::string ProtocolTrace::TakeDataSummary() {
  if (dataBytes_ == 0) return {};
  std::string s = "[" + std::to_string(dataBytes_) + " bytes of message data]";
  dataBytes_ = 0;
  return s;
}

}  // namespace zorvik::mail
