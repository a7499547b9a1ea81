// Fuzz target: the result-section cut over any engine and any page. The first
// byte picks the engine (or none), the second the variant (bit 0: link pass,
// bit 1: a configured endpoint, bit 2: stop requested); the rest is the page.
// Every cut is checked against a plain reading of its row: markers found in
// the lower-cased page, the section taken by positions.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"
#include "engines/ResultSectionCut.h"
#include "engines/SearchResultFile.h"

namespace {

using namespace zorvik;

struct MemorySink : SectionSink {
  void WriteSection(std::string_view text) override { writes.emplace_back(text); }
  std::vector<std::string> writes;
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// The section a row gives, read step by step; nothing when it cannot be cut.
// Also what the row writes.
std::optional<std::pair<std::string, std::string>> Expected(const CutRow& row, const std::string& page,
                                                            const std::string& endpoint) {
  const std::string lower = text::LCase(page);
  const auto marker = [&](const CutMarker& m) {
    return text::LCase((m.afterEndpoint ? endpoint : std::string()) + std::string(m.text));
  };
  const std::size_t s = lower.find(marker(row.start));
  if (s == std::string::npos) return std::nullopt;
  switch (row.rule) {
    case CutRule::Between:
    case CutRule::BetweenThenLowerCased: {
      const std::size_t e = lower.find(marker(row.end));
      if (e == std::string::npos || e < s) return std::nullopt;
      const std::string section = page.substr(s, e - s);
      if (row.rule == CutRule::Between) return std::make_pair(section, section);
      return std::make_pair(text::LCase(section), section);
    }
    case CutRule::FromLowerCased:
      return std::make_pair(lower.substr(s), lower.substr(s));
    case CutRule::FromOneShort: {
      const std::string section = page.substr(s, page.size() - s - 1);
      return std::make_pair(section, section);
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto engines = EngineTable();
  const std::size_t pick = data[0] % (engines.size() + 1);
  const EngineRecord* engine = pick < engines.size() ? &engines[pick] : nullptr;
  const bool linkPass = (data[1] & 1) != 0;
  const std::string page(reinterpret_cast<const char*>(data) + 2, size - 2);

  EngineEndpoints endpoints;
  if (engine != nullptr && (data[1] & 2) != 0)
    Check(endpoints.Parse(QualifiedName(*engine) + " = http://f.test:81\n").empty());
  SearchState state;
  state.StopRequested = (data[1] & 4) != 0 ? 1 : 0;
  RobotForm form;
  if (engine != nullptr) form.Combo(engine->list) = std::string(engine->name);
  Check(ResolveEngine(form) == engine);
  form.txtOutput = page;
  MemorySink sink;
  ResultSectionCut cut(form, state, endpoints, sink);

  if (state.StopIsRequested()) {
    if (linkPass) cut.LinkPassCut(page);
    else cut.Cut();
    Check(form.txtOutput == page && sink.writes.empty());
    return 0;
  }
  const std::string endpoint = engine != nullptr ? endpoints.Endpoint(*engine) : std::string();
  if (linkPass) {
    cut.LinkPassCut(page);
    Check(form.txtOutput == page);
    const CutRow* row = FindCutRow(LinkPassCutTable(), engine);
    if (row == nullptr || !row->written) {
      Check(sink.writes.empty());
    } else {
      const auto expected = Expected(*row, page, endpoint);
      Check(sink.writes.size() == 1 && sink.writes[0] == (expected ? expected->second : page));
    }
    return 0;
  }

  cut.Cut();
  const CutRow* row = FindCutRow(MainCutTable(), engine);
  if (row == nullptr) {
    Check(form.txtOutput == page && sink.writes.size() == 1 && sink.writes[0] == page);
    return 0;
  }
  const auto expected = Expected(*row, page, endpoint);
  Check(form.txtOutput == (expected ? expected->first : page));
  if (row->written) Check(sink.writes.size() == 1 && sink.writes[0] == (expected ? expected->second : page));
  else Check(sink.writes.empty());
  return 0;
}
