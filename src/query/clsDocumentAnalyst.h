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
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/Host.h"
#include "core/SearchState.h"
#include "query/MatchSet.h"
#include "query/SpanAlgebra.h"
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

  // What the test of one page may take, whatever the page and expression:
  //  - memory: at most BytesPerPageByte bytes per byte of the page, plus
  //    ExtraBytes, held at any one time; everything the test allocates
  //    counts (the prepared text, the occurrences of the words, every span
  //    and position set worked out);
  //  - work: at most StepsPerPageByteAndToken steps per byte of the page
  //    and per token of the expression (words, brackets and keywords), plus
  //    ExtraSteps, one step being about one span or position read or
  //    written, or one 64-bit word of a bit matrix. Steps are counted, not
  //    timed: the same page and expression always take the same steps, and
  //    tell in time, too (a million of them take 3 to 8 ms here).
  // A page that would need more (or a text of 4 GB or more) counts as not
  // matching, and the first such page of a search says so in a message box.
  struct Bounds {
    std::size_t BytesPerPageByte = 16;
    std::size_t ExtraBytes = std::size_t{64} << 20;
    std::uint64_t StepsPerPageByteAndToken = 64;
    std::uint64_t ExtraSteps = std::uint64_t{1} << 26;
  };
  Bounds Limits;

  // What the last page test took, and was allowed.
  struct Cost {
    std::uint64_t Steps = 0;
    std::uint64_t StepLimit = 0;
    std::size_t PeakBytes = 0;
    std::size_t ByteLimit = 0;
    bool GaveUp = false;   // over a bound: counted as not matching
    bool Stopped = false;  // stopped while working out the answer
  };
  const Cost& LastCost() const { return cost_; }

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
  // The spans of the whole expression found by the last test (empty when
  // it gave up).
  const MatchSet& LastResult() const { return result_; }

 private:
  using Production = void (clsDocumentAnalyst::*)(MatchSet&);
  template <class Combine>
  void OperatorLoop(MatchSet& Result, Production sub, std::string_view keyword, std::string_view upperKeyword,
                    Combine combine);
  // Runs `work`; a bound reached or an allocation failed inside it ends
  // the page test (the parse goes on, searching nothing).
  template <class Work>
  void Guarded(Work&& work);
  void PreparePage(std::string_view page);
  MatchSet Occurrences(const std::string& word);

  Host& host_;
  const SearchState& state_;
  std::unique_ptr<clsDocuments> documents_;
  std::unique_ptr<clsParsers> parser_;
  MatchSet result_;
  spans::Budget budget_;
  // The occurrences of each word searched for on this page.
  std::unordered_map<std::string, std::shared_ptr<const spans::Positions>> words_;
  std::optional<spans::GiveUp> gaveUp_;
  Cost cost_;
  int nesting_ = 0;
  bool toldTooComplex_ = false;
};

}  // namespace zorvik
