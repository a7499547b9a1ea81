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

}  // namespace

// One pass: the text between tags is copied once, each tag skipped. The
// result is the same as removing the tags one at a time from the front, and
// the progress texts, yields and stop check come once per tag as well. The
// per-tag texts are shown only around a yield that really reaches the event
// loop: in between, nobody could see them.
void clsDocuments::InitLowerCased(std::string_view doc) {
  if (!doc.empty() && doc.data() >= Text.data() && doc.data() <= Text.data() + Text.size()) {
    const std::string copy(doc);  // the page is our own text: work from a copy
    InitLowerCased(copy);
    return;
  }
  host_.ShowStatus(1, kStarting);
  Text.resize(doc.size() + tags::kOutputPadding);
  char* const begin = Text.data();
  const char* const end = doc.data() + doc.size();

  const auto onTag = [&](const char*, char*) {
    if (state_.StopIsRequested()) return false;
    const bool show = host_.PumpDue();
    if (show) host_.ShowStatus(1, kTagFound);
    host_.DoEvents();
    if (show) {
      host_.ShowStatus(1, kYielded);
      host_.ShowStatus(1, kTagRemoved);
    }
    return true;
  };
  const tags::StripResult r = tags::StripTags<true>(doc.data(), end, begin, onTag);
  char* out = r.out;
  if (r.stop != nullptr) {
    // Stopped: the tags not yet removed stay in the text.
    for (const char* c = r.stop; c < end; ++c) *out++ = text::LowerAscii(*c);
    Text.resize(static_cast<std::size_t>(out - begin));
    host_.ShowStatus(1, kStopped);
    return;
  }
  Text.resize(static_cast<std::size_t>(out - begin));
  host_.ShowStatus(1, kFinished);
}

void clsDocuments::OccurrencesOf(std::string_view S, clsMatchLists& Result) {
  Result = clsMatchLists{};
  ForEachOccurrence(S, [&](std::size_t at) {
    Result.AddNewMatch(static_cast<std::int64_t>(at) + 1, static_cast<std::int64_t>(at + S.size()) + 1);
  });
}

}  // namespace zorvik
