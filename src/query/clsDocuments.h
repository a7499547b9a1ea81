#pragma once
// The searchable text of one page: the page with its markup tags removed,
// and where a word occurs in it.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Host.h"
#include "core/SearchState.h"
#include "query/WordSearch.h"
#include "query/clsMatchLists.h"

namespace zorvik {

class clsDocuments {
 public:
  clsDocuments(Host& host, const SearchState& state) : host_(host), state_(state) {}

  // The prepared text: the page without its tags, lower-cased. Positions are 1-based.
  std::string Text;

  // Removes every "<...>" tag and lower-cases the rest (ASCII letters only);
  // nothing takes a tag's place, so "foo<b>bar" becomes "foobar". A "<"
  // without a closing ">" removes the rest of the page. Entities are not
  // decoded. Shows progress in status panel 1 and yields once per tag; a stop
  // leaves the tags not yet removed in Text.
  void InitLowerCased(std::string_view Document);

  // Result becomes the non-overlapping occurrences of S, left to right
  // (plain substring search: "cat" occurs in "concatenate"). Yields once per
  // occurrence and stops early when a stop is requested. The empty word
  // occurs nowhere.
  void OccurrencesOf(std::string_view S, clsMatchLists& Result);
  // The same search, handing each occurrence's 0-based offset to `found`.
  template <class Found>
  void ForEachOccurrence(std::string_view S, Found&& found);

 private:
  Host& host_;
  const SearchState& state_;
};

template <class Found>
void clsDocuments::ForEachOccurrence(std::string_view S, Found&& found) {
  // The empty word (an operand missing at the end, or "") occurs nowhere; a
  // literal scan would find it at the same place forever.
  if (S.empty()) return;
  const std::string_view text = Text;
  std::size_t from = 0;
  for (std::size_t at; (at = words::FindFrom(text, from, S)) != std::string_view::npos;) {
    found(at);
    from = at + S.size();  // occurrences never overlap
    host_.DoEvents();
    if (state_.StopIsRequested()) break;
  }
}

}  // namespace zorvik
