#pragma once
// Decides whether a page satisfies a search expression.
//
// The expression is read by recursive descent and each production is
// evaluated against the page as it is read; there is no syntax tree kept
// between pages. Precedence, loosest first: and, or, near,
// in_sentence_with, not. Operators group to the left.
//
//   Pattern  := AndExpr
//   AndExpr  := OrExpr   { ("and" | "AND") OrExpr }
//   OrExpr   := NearExpr { ("or" | "OR") NearExpr }
//   NearExpr := SentExpr { ("near" | "NEAR") SentExpr }
//   SentExpr := NotExpr  { "in_sentence_with" NotExpr }
//   NotExpr  := "not" WordExpr | WordExpr
//   WordExpr := "(" Pattern ")" | any other token, searched for as text
//
// Expression and page are both lower-cased first, so keywords work in any
// letter case and the search ignores ASCII case.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/Host.h"
#include "core/SearchState.h"
#include "query/MatchSet.h"
#include "query/clsDocuments.h"
#include "query/clsParsers.h"

namespace zorvik {

class clsDocumentAnalyst {
 public:
  // Two spans are near when one starts fewer than this many characters of
  // the prepared text from the other's end.
  static constexpr std::int64_t kNearDistance = 200;
  // Brackets nest at most this deep; a deeper "(" is searched for as text.
  static constexpr int kMaxNesting = 256;

  clsDocumentAnalyst(Host& host, const SearchState& state) : host_(host), state_(state) {}

  // The expression as the user typed it.
  std::string PatternSource;
  // No span set worked out for one page test grows past this many spans; a
  // page that would need more counts as not matching.
  std::size_t SpanLimit = std::size_t{1} << 22;

  void Init(std::string_view expression) { PatternSource.assign(expression); }

  // True when the page satisfies the expression. An expression of blanks
  // only matches nothing. A missing ")" is reported in a message box and
  // evaluation goes on; tokens left over after the pattern are ignored.
  bool DocumentMatches(std::string_view DocumentString);

  // The productions; each reads its own tokens and replaces Result by the
  // spans it stands for.
  void PatternMatch(MatchSet& Result);
  void AndMatch(MatchSet& Result);
  void OrMatch(MatchSet& Result);
  void NearMatch(MatchSet& Result);
  void SentenceMatch(MatchSet& Result);
  void NotMatch(MatchSet& Result);
  void WordMatch(MatchSet& Result);

  // The page model of the last test (null before the first).
  const clsDocuments* Documents() const { return documents_.get(); }
  // The spans of the whole expression found by the last test.
  const MatchSet& LastResult() const { return result_; }

 private:
  using Production = void (clsDocumentAnalyst::*)(MatchSet&);
  template <class Combine>
  void OperatorLoop(MatchSet& Result, Production sub, std::string_view keyword, std::string_view upperKeyword,
                    Combine combine);

  Host& host_;
  const SearchState& state_;
  std::unique_ptr<clsDocuments> documents_;
  std::unique_ptr<clsParsers> parser_;
  MatchSet result_;
  int nesting_ = 0;
  bool toldTooComplex_ = false;
};

}  // namespace zorvik
