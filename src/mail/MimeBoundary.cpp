#include "mail/MimeBoundary.h"

#include <cctype>
#include <cstdint>
#include <random>

#include "core/Text.h"

namespace zorvik::mail {
namespace {

std::string_view Unquoted(std::string_view value) {
  if (!value.empty() && value.front() == '"') {
    value.remove_prefix(1);
    if (!value.empty() && value.back() == '"') value.remove_suffix(1);
  }
  return value;
}

}  // namespace

std::string EffectiveBoundary(const MimePart& part) {
  if (auto span = BoundaryValueSpan(part.contentParameters)) {
    const std::string_view value =
        std::string_view(part.contentParameters).substr(span->first, span->second - span->first);
    return std::string(text::TrimWhiteSpace(Unquoted(value)));
  }
  return std::string(text::TrimWhiteSpace(part.boundary));
}

std::optional<std::pair<std::size_t, std::size_t>> BoundaryValueSpan(std::string_view params) {
  const std::string lower = text::LCase(params);
  std::size_t pos = 0;
  while ((pos = lower.find("boundary", pos)) != std::string::npos) {
    const bool startOk = pos == 0 || lower[pos - 1] == ';' || lower[pos - 1] == ' ' ||
                         lower[pos - 1] == '\t';
    std::size_t eq = pos + 8;
    while (eq < lower.size() && (lower[eq] == ' ' || lower[eq] == '\t')) ++eq;
    if (!startOk || eq >= lower.size() || lower[eq] != '=') {
      pos += 8;
      continue;
    }
    std::size_t v = eq + 1;
    while (v < params.size() && (params[v] == ' ' || params[v] == '\t')) ++v;
    if (v < params.size() && params[v] == '"') {
      const std::size_t close = params.find('"', v + 1);
      return std::make_pair(v, close == std::string_view::npos ? params.size() : close + 1);
    }
    std::size_t end = params.find(';', v);
    if (end == std::string_view::npos) end = params.size();
    while (end > v && std::isspace(static_cast<unsigned char>(params[end - 1]))) --end;
    return std::make_pair(v, end);
  }
  return std::nullopt;
}


bool IsValidBoundary(std::string_view b) {
  if (b.empty() || b.size() > 70 || b.back() == ' ') return false;
  for (unsigned char c : b) {
    if (std::isalnum(c)) continue;
    if (std::string_view("'()+_,-./:=? ").find(static_cast<char>(c)) == std::string_view::npos)
      return false;
  }
  return true;
}

std::string DrawnNumberOf(std::string_view line) {
  std::size_t digits = 2;
  while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
  if (digits == 2 || line.substr(digits, kBoundarySuffix.size()) != kBoundarySuffix) return {};
  return std::string(line.substr(2, digits - 2));
}

std::string DrawBoundary() {
  static std::mt19937_64 random{std::random_device{}()};
  std::uniform_int_distribution<std::uint64_t> number(0, 99'999'999'999ULL);
  return std::to_string(number(random)) + std::string(kBoundarySuffix);
}

}  // namespace zorvik::mail
