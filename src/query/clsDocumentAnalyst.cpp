#include "query/clsDocumentAnalyst.h"

#include <limits>
#include <new>
#include <stdexcept>

#include "core/Text.h"
#include "query/TagStripper.h"

namespace zorvik {

namespace {

// Positions are 32-bit: a longer text is not tested.
constexpr std::size_t kLongestText = std::numeric_limits<spans::Pos>::max() - 1024;

std::size_t SaturatingMulAdd(std::size_t a, std::size_t b, std::size_t c) {
  std::size_t product;
  if (__builtin_mul_overflow(a, b, &product)) return std::numeric_limits<std::size_t>::max();
  std::size_t sum;
  if (__builtin_add_overflow(product, c, &sum)) return std::numeric_limits<std::size_t>::max();
  return sum;
}

// The tokens of the expression, as the parser reads them.
std::size_t CountTokens(Host& host, std::string_view pattern) {
  const SearchState neverStopped;
  clsParsers parser(host, neverStopped);
  std::size_t tokens = 0;
  for (parser.Init(pattern); !parser.NextWord.empty() || parser.Remainder.find_first_not_of(' ') != std::string_view::npos;
       parser.Advance()) {
    ++tokens;
  }
  return tokens;
}

}  // namespace

bool clsDocumentAnalyst::DocumentMatches(std::string_view DocumentString) {
  result_ = MatchSet();
  words_.clear();
  cost_ = Cost{};
  gaveUp_.reset();
  if (text::Trim(PatternSource).empty()) return false;
  const std::string pattern = text::LCase(PatternSource);
  const std::size_t pageBytes = DocumentString.size();
  budget_ = spans::Budget(
      SaturatingMulAdd(Limits.BytesPerPageByte, pageBytes, Limits.ExtraBytes),
      SaturatingMulAdd(SaturatingMulAdd(Limits.StepsPerPageByteAndToken, pageBytes, 0), CountTokens(host_, pattern),
                       Limits.ExtraSteps));
  Guarded([&] {
    budget_.Charge(2 * pattern.size());  // the expression as the parser holds it
    PreparePage(DocumentString);
    parser_ = std::make_unique<clsParsers>(host_, state_);
    parser_->Init(pattern);
  });
  bool matches = false;
  if (!gaveUp_) {
    nesting_ = 0;
    budget_.SetTextLength(documents_->Text.size());
    PatternMatch(result_);
    // Deciding may take long for "near" over "near" on a page full of the
    // words: yield meanwhile, and give up on a stop.
    budget_.CallEvery([this] {
      host_.DoEvents();
      return !state_.StopIsRequested();
    });
    Guarded([&] { matches = !result_.IsEmpty(budget_); });
  }
  words_.clear();
  cost_ = {budget_.Steps(), budget_.MaxSteps(), budget_.Bytes().Peak(), budget_.Bytes().Limit(),
           gaveUp_ && !gaveUp_->stopped, gaveUp_ && gaveUp_->stopped};
  if (!gaveUp_) return matches;
  result_ = MatchSet();
  if (!gaveUp_->stopped && !toldTooComplex_) {
    toldTooComplex_ = true;
    host_.MsgBox("This search expression is too complex to decide on some pages; those pages are counted as "
                 "not matching.",
                 MsgButtons::Ok, MsgIcon::Exclamation, "Search Expression Too Complex");
  }
  return false;
}

template <class Work>
void clsDocumentAnalyst::Guarded(Work&& work) {
  if (gaveUp_) return;
  try {
    work();
  } catch (const spans::GiveUp& giveUp) {
    gaveUp_ = giveUp;
  } catch (const std::bad_alloc&) {
    gaveUp_ = spans::GiveUp{};
  } catch (const std::length_error&) {
    gaveUp_ = spans::GiveUp{};
  }
}

// Every test gets a fresh page model; it takes over the last one's text
// buffer, so a crawl does not allocate a page-sized buffer per page, unless
// that buffer is too small or far larger than this page needs.
void clsDocumentAnalyst::PreparePage(std::string_view page) {
  std::string buffer = documents_ ? std::move(documents_->Text) : std::string();
  documents_ = std::make_unique<clsDocuments>(host_, state_);
  if (page.size() > kLongestText) throw spans::GiveUp{};
  const std::size_t needed = page.size() + tags::kOutputPadding;
  const bool pageInBuffer =
      !page.empty() && page.data() >= buffer.data() && page.data() <= buffer.data() + buffer.size();
  if (!pageInBuffer && (buffer.capacity() < needed || buffer.capacity() > 2 * needed + (std::size_t{1} << 20)))
    buffer = std::string();
  // The text, and the copy of the page that preparing from our own text takes.
  budget_.Charge(std::max(buffer.capacity(), needed) + (pageInBuffer ? page.size() : 0));
  documents_->Text = std::move(buffer);
  documents_->InitLowerCased(page);
}

void clsDocumentAnalyst::PatternMatch(MatchSet& Result) { AndMatch(Result); }

template <class Combine>
void clsDocumentAnalyst::OperatorLoop(MatchSet& Result, Production sub, std::string_view keyword,
                                      std::string_view upperKeyword, Combine combine) {
  (this->*sub)(Result);
  while (parser_->CanRead(keyword) || (!upperKeyword.empty() && parser_->CanRead(upperKeyword))) {
    MatchSet right;
    (this->*sub)(right);
    Guarded([&] { Result = combine(std::move(Result), std::move(right)); });
    if (gaveUp_) Result = MatchSet();
  }
}

void clsDocumentAnalyst::AndMatch(MatchSet& Result) {
  OperatorLoop(Result, &clsDocumentAnalyst::OrMatch, "and", "AND",
               [this](MatchSet l, MatchSet r) { return MatchSet::And(std::move(l), std::move(r), budget_); });
}

void clsDocumentAnalyst::OrMatch(MatchSet& Result) {
  OperatorLoop(Result, &clsDocumentAnalyst::NearMatch, "or", "OR",
               [this](MatchSet l, MatchSet r) { return MatchSet::Or(std::move(l), std::move(r), budget_); });
}

void clsDocumentAnalyst::NearMatch(MatchSet& Result) {
  OperatorLoop(Result, &clsDocumentAnalyst::SentenceMatch, "near", "NEAR", [this](MatchSet l, MatchSet r) {
    return MatchSet::Near(std::move(l), std::move(r), kNearDistance, budget_);
  });
}

void clsDocumentAnalyst::SentenceMatch(MatchSet& Result) {
  // A pair qualifies when both starts lie in the same sentence. The text
  // model records no sentences, so every start lies in "sentence 0" and
  // every pair qualifies: the combination is exactly that of "and".
  OperatorLoop(Result, &clsDocumentAnalyst::NotMatch, "in_sentence_with", "",
               [this](MatchSet l, MatchSet r) { return MatchSet::And(std::move(l), std::move(r), budget_); });
}

void clsDocumentAnalyst::NotMatch(MatchSet& Result) {
  if (!parser_->CanRead("not")) {
    WordMatch(Result);
    return;
  }
  // The whole prepared text when the operand's list is empty, else nothing;
  // which of the two is worked out with the rest of the expression.
  WordMatch(Result);
  Guarded([&] {
    Result = MatchSet::Not(std::move(Result), static_cast<std::int64_t>(documents_->Text.size()), budget_);
  });
  if (gaveUp_) Result = MatchSet();
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
  Result = MatchSet();
  Guarded([&] { Result = Occurrences(parser_->NextWord); });
  parser_->Advance();
}

// A word met again on the page is not searched again, but it yields and
// stops as a new search would: once per occurrence.
MatchSet clsDocumentAnalyst::Occurrences(const std::string& word) {
  if (word.empty()) return MatchSet();
  budget_.Charge(2 * word.size() + 64);  // its place among the words
  std::shared_ptr<const spans::Positions>& known = words_[word];
  std::size_t count = 0;
  if (known) {
    while (count < known->size()) {
      ++count;
      host_.DoEvents();
      if (state_.StopIsRequested()) break;
    }
    budget_.Step(count);
  } else {
    auto starts = std::allocate_shared<spans::Positions>(budget_.Alloc<spans::Positions>(), budget_.NewPositions());
    documents_->ForEachOccurrence(word, [&](std::size_t at) {
      budget_.Step();
      starts->push_back(static_cast<spans::Pos>(at + 1));
    });
    starts->shrink_to_fit();
    count = starts->size();
    known = std::move(starts);
  }
  return MatchSet::Occurrences(known, count, word.size(), budget_);
}

}  // namespace zorvik
