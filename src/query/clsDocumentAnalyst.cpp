#include "query/clsDocumentAnalyst.h"

#include "core/Text.h"

namespace zorvik {

bool clsDocumentAnalyst::DocumentMatches(std::string_view DocumentString) {
  result_ = MatchSet();
  if (text::Trim(PatternSource).empty()) return false;
  // Every test gets a fresh page model; it takes over the last one's text
  // buffer, so a crawl does not allocate a page-sized buffer per page.
  std::string buffer = documents_ ? std::move(documents_->Text) : std::string();
  documents_ = std::make_unique<clsDocuments>(host_, state_);
  documents_->Text = std::move(buffer);
  documents_->InitLowerCased(DocumentString);
  parser_ = std::make_unique<clsParsers>(host_, state_);
  parser_->Init(text::LCase(PatternSource));
  nesting_ = 0;
  PatternMatch(result_);
  // Deciding may take long for "near" over "near" over "and" on a page full
  // of the words: yield meanwhile, give up on a stop, and give up (saying so
  // once) rather than exhaust memory.
  spans::Budget budget([this] {
    host_.DoEvents();
    return !state_.StopIsRequested();
  }, SpanLimit);
  const bool matches = !result_.IsEmpty(budget);
  if (budget.TooLarge() && !toldTooComplex_) {
    toldTooComplex_ = true;
    host_.MsgBox("This search expression is too complex to decide on some pages; those pages are counted as "
                 "not matching.",
                 MsgButtons::Ok, MsgIcon::Exclamation, "Search Expression Too Complex");
  }
  return matches && !budget.Abandoned();
}

void clsDocumentAnalyst::PatternMatch(MatchSet& Result) { AndMatch(Result); }

template <class Combine>
void clsDocumentAnalyst::OperatorLoop(MatchSet& Result, Production sub, std::string_view keyword,
                                      std::string_view upperKeyword, Combine combine) {
  (this->*sub)(Result);
  while (parser_->CanRead(keyword) || (!upperKeyword.empty() && parser_->CanRead(upperKeyword))) {
    MatchSet right;
    (this->*sub)(right);
    Result = combine(std::move(Result), std::move(right));
  }
}

void clsDocumentAnalyst::AndMatch(MatchSet& Result) {
  OperatorLoop(Result, &clsDocumentAnalyst::OrMatch, "and", "AND",
               [](MatchSet l, MatchSet r) { return MatchSet::And(std::move(l), std::move(r)); });
}

void clsDocumentAnalyst::OrMatch(MatchSet& Result) {
  OperatorLoop(Result, &clsDocumentAnalyst::NearMatch, "or", "OR",
               [](MatchSet l, MatchSet r) { return MatchSet::Or(std::move(l), std::move(r)); });
}

void clsDocumentAnalyst::NearMatch(MatchSet& Result) {
  OperatorLoop(Result, &clsDocumentAnalyst::SentenceMatch, "near", "NEAR", [](MatchSet l, MatchSet r) {
    return MatchSet::Near(std::move(l), std::move(r), kNearDistance);
  });
}

void clsDocumentAnalyst::SentenceMatch(MatchSet& Result) {
  // A pair qualifies when both starts lie in the same sentence. The text
  // model records no sentences, so every start lies in "sentence 0" and
  // every pair qualifies: the combination is exactly that of "and".
  OperatorLoop(Result, &clsDocumentAnalyst::NotMatch, "in_sentence_with", "",
               [](MatchSet l, MatchSet r) { return MatchSet::And(std::move(l), std::move(r)); });
}

void clsDocumentAnalyst::NotMatch(MatchSet& Result) {
  if (!parser_->CanRead("not")) {
    WordMatch(Result);
    return;
  }
  WordMatch(Result);
  if (Result.IsEmpty()) {
    clsMatchLists whole;
    whole.AddNewMatch(1, static_cast<std::int64_t>(documents_->Text.size()));
    Result = MatchSet::Of(std::move(whole));
  } else {
    Result = MatchSet();
  }
}

void clsDocumentAnalyst::WordMatch(MatchSet& Result) {
  if (nesting_ < kMaxNesting && parser_->CanRead("(")) {
    ++nesting_;
    PatternMatch(Result);
    --nesting_;
    parser_->Expect(")");
    return;
  }
  // Any other token is a word, ")" and keywords and the empty token included.
  clsMatchLists occurrences;
  documents_->OccurrencesOf(parser_->NextWord, occurrences);
  Result = MatchSet::Of(std::move(occurrences));
  parser_->Advance();
}

}  // namespace zorvik
