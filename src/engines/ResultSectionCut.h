#pragma once
// The result-section cut: keeps only the part of an engine's result page that
// holds the results. The section is found by one or two plain-text markers
// fixed per engine (searched without regard to ASCII letter case, first
// occurrence from the start of the page), written to the search result file
// when the engine's row says so, and put back into the page-text box, so that
// the page test and the link extraction that follow see only the results.
//
// The engine is the one the engine lists select (ResolveEngine). A page whose
// engine has no row is written whole and kept whole. A cut that cannot be made
// (a marker missing, the end marker before the start marker) keeps the whole
// page in its own case, and writes it whole when the row writes.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorvik {

struct EngineRecord;
class EngineEndpoints;
class SectionSink;
struct RobotForm;
struct SearchState;

enum class CutRule {
  Between,         // from the start marker (included) to the end marker (excluded)
  FromLowerCased,  // from the start marker to the end of the page, lower-cased
  FromOneShort,    // from the start marker, as long as the page length minus its
                   // position: the page's last character is dropped
  BetweenThenLowerCased,  // Between; that section is written, then lower-cased
};

// A marker; for a few engines it is the engine's endpoint followed by `text`.
struct CutMarker {
  bool afterEndpoint = false;
  std::string_view text;
};

struct CutRow {
  int list;                 // 1..5
  std::string_view engine;  // display name
  CutRule rule;
  CutMarker start;
  CutMarker end;  // Between rules only
  bool written;
};

// The rows of the main cut and of the link-pass cut.
std::span<const CutRow> MainCutTable();
std::span<const CutRow> LinkPassCutTable();
// The row of an engine in a table, or nullptr (also for no engine).
const CutRow* FindCutRow(std::span<const CutRow> table, const EngineRecord* engine);

struct CutSection {
  std::string text;     // what the page-text box receives
  std::string written;  // what a writing row writes, when it differs from text
  bool writtenDiffers = false;
  std::string_view Written() const { return writtenDiffers ? written : text; }
};

// The section of `page` under a row, with `endpoint` completing the markers
// that contain it; nothing when the cut cannot be made.
std::optional<CutSection> ComputeSection(const CutRow& row, std::string_view page,
                                         std::string_view endpoint);

class ResultSectionCut {
 public:
  ResultSectionCut(RobotForm& form, const SearchState& state, const EngineEndpoints& endpoints,
                   SectionSink& resultFile)
      : form_(form), state_(state), endpoints_(endpoints), resultFile_(resultFile) {}

  // Cuts the page now in the page-text box. Does nothing while a stop is
  // requested.
  void Cut();

  // The smaller cut at the start of each link-extraction pass over
  // `pageText`: writes the section for the rows that write, and changes
  // neither the text nor the page-text box. Engines without a row of this
  // table write nothing. Does nothing while a stop is requested.
  void LinkPassCut(std::string_view pageText) const;

 private:
  RobotForm& form_;
  const SearchState& state_;
  const EngineEndpoints& endpoints_;
  SectionSink& resultFile_;
};

}  // namespace zorvik
