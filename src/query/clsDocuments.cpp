#include "query/clsDocuments.h"

#include <cstring>

#include "core/Text.h"

namespace zorvik {

namespace {

constexpr std::string_view kStarting = "Working..... ";
constexpr std::string_view kTagFound = "Working........ ";
constexpr std::string_view kYielded = "Working........... ";
constexpr std::string_view kTagRemoved = "Working.............. ";
constexpr std::string_view kStopped = "Link Added..... ";
constexpr std::string_view kFinished = "Links Added..... ";

template <bool Lower>
char* CopyText(char* out, const char* from, std::size_t n) {
  if constexpr (Lower) {
    for (std::size_t i = 0; i < n; ++i) out[i] = text::LowerAscii(from[i]);
  } else {
    std::memcpy(out, from, n);
  }
  return out + n;
}

std::int64_t FirstSpanContaining(const clsMatchLists& spans, std::int64_t loc) {
  for (const clsMatch& m : spans.Matches) {
    if (m.StartingPosition <= loc && loc <= m.EndingPosition) return m.StartingPosition;
  }
  return 0;
}

}  // namespace

void clsDocuments::Init(std::string_view Document) { Prepare<false>(Document); }

void clsDocuments::InitLowerCased(std::string_view Document) { Prepare<true>(Document); }

// One pass: the text between tags is copied once, each tag skipped. The
// result is the same as removing the tags one at a time from the front, and
// the progress texts, yields and stop check come once per tag as well. The
// per-tag texts are shown only around a yield that really reaches the event
// loop: in between, nobody could see them.
template <bool Lower>
void clsDocuments::Prepare(std::string_view doc) {
  Paragraphs = clsMatchLists{};
  host_.ShowStatus(1, kStarting);
  Text.resize(doc.size());
  char* const begin = Text.data();
  char* out = begin;
  const char* const end = doc.data() + doc.size();
  const char* in = doc.data();
  std::int64_t last = 0;

  while (const char* lt = static_cast<const char*>(std::memchr(in, '<', static_cast<std::size_t>(end - in)))) {
    out = CopyText<Lower>(out, in, static_cast<std::size_t>(lt - in));
    if (state_.StopIsRequested()) {
      // The tags not yet removed stay in the text, and no final paragraph.
      out = CopyText<Lower>(out, lt, static_cast<std::size_t>(end - lt));
      Text.resize(static_cast<std::size_t>(out - begin));
      host_.ShowStatus(1, kStopped);
      return;
    }
    const bool show = host_.PumpDue();
    if (show) host_.ShowStatus(1, kTagFound);
    const std::int64_t p = (out - begin) + 1;  // where the tag starts in the text so far
    // Only an upper-case "<P>" starts a paragraph; a lower-cased page has none.
    if (!Lower && end - lt >= 3 && lt[1] == 'P' && lt[2] == '>') Paragraphs.AddNewMatch(last, p);
    host_.DoEvents();
    if (show) host_.ShowStatus(1, kYielded);
    last = p;
    const char* gt = static_cast<const char*>(std::memchr(lt + 1, '>', static_cast<std::size_t>(end - lt - 1)));
    in = gt == nullptr ? end : gt + 1;
    if (show) host_.ShowStatus(1, kTagRemoved);
  }
  out = CopyText<Lower>(out, in, static_cast<std::size_t>(end - in));
  Text.resize(static_cast<std::size_t>(out - begin));
  Paragraphs.AddNewMatch(last, static_cast<std::int64_t>(Text.size()));
  host_.ShowStatus(1, kFinished);
}

template void clsDocuments::Prepare<false>(std::string_view);
template void clsDocuments::Prepare<true>(std::string_view);

void clsDocuments::OccurrencesOf(std::string_view S, clsMatchLists& Result) {
  Result = clsMatchLists{};
  // The empty word (an operand missing at the end, or "") occurs nowhere; a
  // literal scan would find it at the same place forever.
  if (S.empty()) return;
  const std::string_view text = Text;
  std::size_t from = 0;
  while (from + S.size() <= text.size()) {
    const void* hit = memmem(text.data() + from, text.size() - from, S.data(), S.size());
    if (hit == nullptr) break;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    Result.AddNewMatch(static_cast<std::int64_t>(at) + 1, static_cast<std::int64_t>(at + S.size()) + 1);
    from = at + S.size();  // occurrences never overlap
    host_.DoEvents();
    if (state_.StopIsRequested()) break;
  }
}

std::int64_t clsDocuments::SentenceOf(std::int64_t Loc) const { return FirstSpanContaining(Sentences, Loc); }

std::int64_t clsDocuments::ParagraphOf(std::int64_t Loc) const { return FirstSpanContaining(Paragraphs, Loc); }

}  // namespace zorvik
