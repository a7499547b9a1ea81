#include "query/clsDocuments.h"

#include <cstring>

#include "core/Text.h"
#include "query/TagStripper.h"

namespace zorvik {

namespace {

constexpr std::string_view kStarting = "Working..... ";
constexpr std::string_view kTagFound = "Working........ ";
constexpr std::string_view kYielded = "Working........... ";
constexpr std::string_view kTagRemoved = "Working.............. ";
constexpr std::string_view kStopped = "Link Added..... ";
constexpr std::string_view kFinished = "Links Added..... ";

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
  if (!doc.empty() && doc.data() >= Text.data() && doc.data() <= Text.data() + Text.size()) {
    const std::string copy(doc);  // the page is our own text: work from a copy
    Prepare<Lower>(copy);
    return;
  }
  Paragraphs = clsMatchLists{};
  host_.ShowStatus(1, kStarting);
  Text.resize(doc.size() + tags::kOutputPadding);
  char* const begin = Text.data();
  const char* const end = doc.data() + doc.size();
  std::int64_t last = 0;

  const auto onTag = [&](const char* lt, char* out) {
    if (state_.StopIsRequested()) return false;
    const bool show = host_.PumpDue();
    if (show) host_.ShowStatus(1, kTagFound);
    const std::int64_t p = (out - begin) + 1;  // where the tag starts in the text so far
    // Only an upper-case "<P>" starts a paragraph; a lower-cased page has none.
    if (!Lower && end - lt >= 3 && lt[1] == 'P' && lt[2] == '>') Paragraphs.AddNewMatch(last, p);
    host_.DoEvents();
    if (show) {
      host_.ShowStatus(1, kYielded);
      host_.ShowStatus(1, kTagRemoved);
    }
    last = p;
    return true;
  };
  const tags::StripResult r = tags::StripTags<Lower>(doc.data(), end, begin, onTag);
  char* out = r.out;
  if (r.stop != nullptr) {
    // Stopped: the tags not yet removed stay in the text, and no final paragraph.
    for (const char* c = r.stop; c < end; ++c) *out++ = Lower ? text::LowerAscii(*c) : *c;
    Text.resize(static_cast<std::size_t>(out - begin));
    host_.ShowStatus(1, kStopped);
    return;
  }
  Text.resize(static_cast<std::size_t>(out - begin));
  Paragraphs.AddNewMatch(last, static_cast<std::int64_t>(Text.size()));
  host_.ShowStatus(1, kFinished);
}

template void clsDocuments::Prepare<false>(std::string_view);
template void clsDocuments::Prepare<true>(std::string_view);

void clsDocuments::OccurrencesOf(std::string_view S, clsMatchLists& Result) {
  Result = clsMatchLists{};
  ForEachOccurrence(S, [&](std::size_t at) {
    Result.AddNewMatch(static_cast<std::int64_t>(at) + 1, static_cast<std::int64_t>(at + S.size()) + 1);
  });
}

std::int64_t clsDocuments::SentenceOf(std::int64_t Loc) const { return FirstSpanContaining(Sentences, Loc); }

std::int64_t clsDocuments::ParagraphOf(std::int64_t Loc) const { return FirstSpanContaining(Paragraphs, Loc); }

}  // namespace zorvik
