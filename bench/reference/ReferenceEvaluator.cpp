#include "reference/ReferenceEvaluator.h"

#include <algorithm>
#include <cstdlib>

namespace zorvik::reference {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// 1-based InStr: position of `needle` at or after `start`, or 0.
std::int64_t InStr(std::int64_t start, const std::string& hay, const std::string& needle) {
  if (start > static_cast<std::int64_t>(hay.size())) return 0;
  const auto at = hay.find(needle, static_cast<std::size_t>(start - 1));
  return at == std::string::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

Span Spread(const Span& a, const Span& b) { return {std::min(a.start, b.start), std::max(a.end, b.end)}; }

}  // namespace

void ReferenceEvaluator::Prepare(const std::string& page) {
  Text = page;
  Paragraphs.clear();
  host_.ShowStatus(1, "Working..... ");
  std::int64_t last = 0;
  std::int64_t p = InStr(1, Text, "<");
  while (p != 0) {
    if (state_.StopIsRequested()) {
      host_.ShowStatus(1, "Link Added..... ");
      return;
    }
    host_.ShowStatus(1, "Working........ ");
    if (Text.compare(static_cast<std::size_t>(p - 1), 3, "<P>") == 0) Paragraphs.push_back({last, p});
    host_.DoEvents();
    host_.ShowStatus(1, "Working........... ");
    last = p;
    // The closing ">", or one past the end as if a ">" were appended.
    std::int64_t gt = InStr(p + 1, Text, ">");
    if (gt == 0) gt = static_cast<std::int64_t>(Text.size()) + 1;
    Text = Text.substr(0, static_cast<std::size_t>(p - 1)) +
           (gt <= static_cast<std::int64_t>(Text.size()) ? Text.substr(static_cast<std::size_t>(gt)) : std::string());
    p = InStr(p, Text, "<");
    host_.ShowStatus(1, "Working.............. ");
  }
  Paragraphs.push_back({last, static_cast<std::int64_t>(Text.size())});
  host_.ShowStatus(1, "Links Added..... ");
}

bool ReferenceEvaluator::DocumentMatches(const std::string& pattern, const std::string& page) {
  Result.clear();
  overflowed_ = false;
  const auto first = pattern.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  Prepare(Lower(page));
  remainder_ = Lower(pattern);
  Advance();
  PatternMatch(Result);
  return !Result.empty();
}

void ReferenceEvaluator::Advance() {
  nextWord_.clear();
  if (state_.StopIsRequested()) return;
  while (!remainder_.empty() && remainder_[0] == ' ') remainder_.erase(0, 1);
  if (remainder_.empty()) return;
  if (remainder_[0] == '(' || remainder_[0] == ')') {
    nextWord_ = remainder_.substr(0, 1);
    remainder_.erase(0, 1);
  } else if (remainder_[0] == '"') {
    remainder_.erase(0, 1);
    while (!remainder_.empty() && remainder_[0] != '"') {
      nextWord_ += remainder_[0];
      remainder_.erase(0, 1);
    }
    if (!remainder_.empty()) remainder_.erase(0, 1);
  } else {
    while (!remainder_.empty() && remainder_[0] != ' ' && remainder_[0] != '(' && remainder_[0] != ')') {
      nextWord_ += remainder_[0];
      remainder_.erase(0, 1);
    }
  }
}

bool ReferenceEvaluator::CanRead(const std::string& s) {
  if (nextWord_ != s) return false;
  Advance();
  return true;
}

void ReferenceEvaluator::Expect(const std::string& s) {
  if (!CanRead(s))
    host_.MsgBox("Expected " + s + "\r\n but found " + nextWord_ + ".", MsgButtons::Ok, MsgIcon::Critical,
                 "Invalid Search String");
}

SpanList ReferenceEvaluator::Occurrences(const std::string& word) {
  SpanList out;
  if (word.empty()) return out;
  const auto len = static_cast<std::int64_t>(word.size());
  std::int64_t pos = InStr(1, Text, word);
  while (pos != 0) {
    out.push_back({pos, pos + len});
    pos = InStr(pos + len, Text, word);
    host_.DoEvents();
    if (state_.StopIsRequested()) break;
  }
  return out;
}

void ReferenceEvaluator::PatternMatch(SpanList& result) { AndMatch(result); }

// The spread of every pair (l, r) that `qualifies`, l over the left list and
// r over the right one, in that nested order.
template <class Qualifies>
void ReferenceEvaluator::Pairwise(const SpanList& left, const SpanList& right, SpanList& result, Qualifies qualifies) {
  result.clear();
  for (const Span& l : left)
    for (const Span& r : right) {
      if (result.size() >= MaxSpans) {
        overflowed_ = true;
        return;
      }
      if (qualifies(l, r)) result.push_back(Spread(l, r));
    }
}

void ReferenceEvaluator::AndMatch(SpanList& result) {
  OrMatch(result);
  while (CanRead("and") || CanRead("AND")) {
    const SpanList left = result;
    SpanList right;
    OrMatch(right);
    Pairwise(left, right, result, [](const Span&, const Span&) { return true; });
  }
}

void ReferenceEvaluator::OrMatch(SpanList& result) {
  NearMatch(result);
  while (CanRead("or") || CanRead("OR")) {
    const SpanList left = result;
    SpanList right;
    NearMatch(right);
    result = left;
    result.insert(result.end(), right.begin(), right.end());
  }
}

void ReferenceEvaluator::NearMatch(SpanList& result) {
  SentenceMatch(result);
  while (CanRead("near") || CanRead("NEAR")) {
    const SpanList left = result;
    SpanList right;
    SentenceMatch(right);
    Pairwise(left, right, result, [](const Span& l, const Span& r) {
      return std::llabs(r.start - l.end) < 200 || std::llabs(l.start - r.end) < 200;
    });
  }
}

void ReferenceEvaluator::SentenceMatch(SpanList& result) {
  NotMatch(result);
  while (CanRead("in_sentence_with")) {
    const SpanList left = result;
    SpanList right;
    NotMatch(right);
    // No sentence spans are ever recorded: every start lies in sentence 0.
    Pairwise(left, right, result, [](const Span&, const Span&) { return true; });
  }
}

void ReferenceEvaluator::NotMatch(SpanList& result) {
  if (CanRead("not")) {
    WordMatch(result);
    if (result.empty()) {
      result = {Span{1, static_cast<std::int64_t>(Text.size())}};
    } else {
      result.clear();
    }
  } else {
    WordMatch(result);
  }
}

void ReferenceEvaluator::WordMatch(SpanList& result) {
  if (CanRead("(")) {
    PatternMatch(result);
    Expect(")");
  } else {
    result = Occurrences(nextWord_);
    Advance();
  }
}

}  // namespace zorvik::reference
