#include "engines/ResultSectionCut.h"

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"
#include "engines/SearchResultFile.h"

namespace zorvik {

namespace {

constexpr auto Between = CutRule::Between;
constexpr auto FromLower = CutRule::FromLowerCased;
constexpr CutMarker M(std::string_view text) { return {false, text}; }
constexpr CutMarker None() { return {false, {}}; }
// The engine's logo address, which its result pages carry in front of the results.
constexpr CutMarker kLogo{true, "/qlogo.gif"};

// clang-format off
constexpr CutRow kMainRows[] = {
  {1, "Lycos", Between, M("<!-- end vertical partner offers -->"), M("Try your search"), true},
  {1, "AltaVista", Between, M("Family Filter is off"), M("word count: "), true},
  {1, "HotBot", Between, M("WEB"), M("OPINION"), true},
  {1, "Excite", Between, M("lep_y.gif"), M("See what other people"), true},
  {1, "Go", Between, M("most relevant to"), M("powered_by_stack.gif"), true},
  {1, "Deja", FromLower, M("messages related to "), None(), false},
  {1, "LookSmart", FromLower, M("from looksmart"), None(), false},
  {1, "1Blink", CutRule::BetweenThenLowerCased, M("pages that match your query"), M("Find it!"), true},
  {1, "AOL", FromLower, M("top selling titles about"), None(), true},
  {1, "DogPile", FromLower, M("search results"), None(), true},
  {1, "FFA Links", FromLower, M("search results"), None(), true},
  {1, "FFA Links 2", FromLower, M("search results"), None(), true},
  {1, "Classified", FromLower, M("search results"), None(), true},
  {1, "4Anything", FromLower, M("Try these web sites"), None(), true},
  {2, "Go2Net", FromLower, M("collated results"), None(), true},
  {2, "Erolinx", FromLower, M("your search returned"), None(), true},
  {2, "Erotiquest", FromLower, M("search results"), None(), false},
  {2, "Questfinder", FromLower, kLogo, None(), false},
  {3, "1Blink", FromLower, M("pages that match your query"), None(), true},
  {4, "Beyond", FromLower, M("best matches:"), None(), true},
  {4, "32Bit", FromLower, M("sort by: popularity"), None(), true},
  {4, "Jumbo", FromLower, M("found: "), None(), true},
  {4, "cInet", FromLower, M("Search results for"), None(), true},
  {5, "Programming", Between, M("<h2>"), M("Back to top of page"), true},
  {5, "Search The Net", Between, M("1)"), M("search5.gif"), true},
  {5, "VB", Between, M("Results:"), M("Search method"), true},
  {5, "SoftSeek", Between, M("Search Results</FONT>"), M("Next Search"), true},
  {5, "Jobs", Between, M("Search Results"), M("<html>"), true},
  {5, "Anything", Between, M("Your search for"), CutMarker{true, "/?search"}, true},
  {5, "Mp3", Between, M("Next Search"), M("MP3 for Beginners"), true},
  {5, "MultiAuctions", Between, M("banager"), M("Search again"), true},
  {5, "Auction Search", CutRule::FromOneShort, M("Search returned"), None(), true},
  {5, "Mp3 2", Between, M("MP3 Search"), M("next >>"), true},
};

constexpr CutRow kLinkPassRows[] = {
  {1, "Lycos", Between, M("<!-- end vertical partner offers -->"), M("<b>next</b></a>"), true},
  {1, "AltaVista", Between, M("AltaVista found "), M("word count: "), true},
  {1, "HotBot", Between, M("WEB RESULTS"), M("SECOND OPINION"), true},
  {1, "Excite", Between, M("lep_y.gif"), M("/search.gw"), true},
  {1, "Go", Between, M("most relevant to"), M("powered_by_stack.gif"), true},
  {1, "1Blink", Between, M("pages that match your query"), M("Find it!"), true},
  {1, "Questfinder", Between, kLogo, M("FREE Java Script Search Engine"), true},
  {5, "Programming", Between, M("Results for:"), M("Back to top of page"), true},
  {2, "Questfinder", Between, kLogo, M("FREE Java Script Search Engine"), false},
  {5, "Search The Net", Between, M("Search Results"), M("search.cgi"), false},
  {1, "Deja", FromLower, M("messages related to "), None(), false},
  {1, "LookSmart", FromLower, M("from looksmart"), None(), false},
  {1, "AOL", FromLower, M("top selling titles about"), None(), false},
  {1, "DogPile", FromLower, M("search results"), None(), false},
  {2, "Go2Net", FromLower, M("collated results"), None(), false},
  {2, "Erolinx", FromLower, M("your search returned"), None(), false},
  {2, "Erotiquest", FromLower, M("search results"), None(), false},
  {3, "1Blink", FromLower, M("pages that match your query"), None(), false},
  {4, "Beyond", FromLower, M("best matches:"), None(), false},
  {4, "32Bit", FromLower, M("sort by: popularity"), None(), false},
  {4, "Jumbo", FromLower, M("found: "), None(), false},
};
// clang-format on

std::string MarkerText(const CutMarker& marker, std::string_view endpoint) {
  std::string out;
  if (marker.afterEndpoint) out = endpoint;
  out += marker.text;
  return out;
}

// 1-based position of the first occurrence, ignoring ASCII case; 0 when
// missing. An empty marker is never found: a row always names its markers.
std::size_t Find(std::string_view page, const std::string& marker) {
  if (marker.empty()) return 0;
  return text::InStrNoCase(1, page, marker);
}

}  // namespace

std::span<const CutRow> MainCutTable() { return kMainRows; }
std::span<const CutRow> LinkPassCutTable() { return kLinkPassRows; }

const CutRow* FindCutRow(std::span<const CutRow> table, const EngineRecord* engine) {
  if (engine == nullptr) return nullptr;
  for (const CutRow& row : table) {
    if (row.list == engine->list && row.engine == engine->name) return &row;
  }
  return nullptr;
}

std::optional<CutSection> ComputeSection(const CutRow& row, std::string_view page,
                                         std::string_view endpoint) {
  const std::size_t start = Find(page, MarkerText(row.start, endpoint));
  if (start == 0) return std::nullopt;
  CutSection section;
  switch (row.rule) {
    case CutRule::Between:
    case CutRule::BetweenThenLowerCased: {
      const std::size_t end = Find(page, MarkerText(row.end, endpoint));
      if (end == 0 || end < start) return std::nullopt;
      section.text = text::Mid(page, start, end - start);
      if (row.rule == CutRule::BetweenThenLowerCased) {
        // The second cut runs from the start marker, which opens the section,
        // to its end: the whole section, lower-cased. The section as cut is
        // what gets written.
        section.written = section.text;
        section.writtenDiffers = true;
        text::LCaseInPlace(section.text);
      }
      break;
    }
    case CutRule::FromLowerCased:
      section.text = text::LCase(text::Mid(page, start));
      break;
    case CutRule::FromOneShort:
      section.text = text::Mid(page, start, page.size() - start);
      break;
  }
  return section;
}

void ResultSectionCut::Cut() {
  if (state_.StopIsRequested()) return;
  std::string page = form_.txtOutput;
  const EngineRecord* engine = ResolveEngine(form_);
  if (const CutRow* row = FindCutRow(MainCutTable(), engine)) {
    std::optional<CutSection> section = ComputeSection(*row, page, endpoints_.Endpoint(*engine));
    if (row->written) resultFile_.WriteSection(section ? section->Written() : std::string_view(page));
    if (section) page = std::move(section->text);
  } else {
    resultFile_.WriteSection(page);
  }
  form_.txtOutput.clear();
  form_.txtOutput = std::move(page);
}

void ResultSectionCut::LinkPassCut(std::string_view pageText) const {
  if (state_.StopIsRequested()) return;
  const EngineRecord* engine = ResolveEngine(form_);
  const CutRow* row = FindCutRow(LinkPassCutTable(), engine);
  if (row == nullptr || !row->written) return;
  const std::optional<CutSection> section = ComputeSection(*row, pageText, endpoints_.Endpoint(*engine));
  resultFile_.WriteSection(section ? section->Written() : pageText);
}

}  // namespace zorvik
