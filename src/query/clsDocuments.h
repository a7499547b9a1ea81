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

  // The prepared text: the page without its tags. Positions are 1-based.
  std::string Text;
  // Sentence spans. The text model records none, so this stays empty.
  clsMatchLists Sentences;
  // Paragraph spans: from one removed tag to the next "<P>" tag, and from the
  // last removed tag to the end.
  clsMatchLists Paragraphs;

  // Removes every "<...>" tag; nothing takes its place, so "foo<b>bar"
  // becomes "foobar". A "<" without a closing ">" removes the rest of the
  // page. Entities are not decoded. Shows progress in status panel 1 and
  // yields once per tag; a stop leaves the tags not yet removed in Text.
  void Init(std::string_view Document);
  // The same as Init(LCase(Document)), in a single pass over the page.
  void InitLowerCased(std::string_view Document);

  // Result becomes the non-overlapping occurrences of S, left to right
  // (plain substring search: "cat" occurs in "concatenate"). Yields once per
  // occurrence and stops early when a stop is requested. The empty word
  // occurs nowhere.
  void OccurrencesOf(std::string_view S, clsMatchLists& Result);
  // The same search, handing each occurrence's 0-based offset to `found`.
  template <class Found>
  void ForEachOccurrence(std::string_view S, Found&& found);

  // StartingPosition of the first span containing Loc, or 0.
  std::int64_t SentenceOf(std::int64_t Loc) const;
  std::int64_t ParagraphOf(std::int64_t Loc) const;

 private:
  template <bool Lower>
  void Prepare(std::string_view Document);

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
