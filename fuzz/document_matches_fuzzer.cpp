// Fuzzes the page test: random expression, random page, and a stop that may
// arrive after any number of yields. Small inputs are also run through the
// plain reference evaluator, whose answer must be the same.
//
// Input: byte 0 = when to stop (0: never, n: at the n-th yield), then the
// expression up to the first newline, then the page.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/HeadlessHost.h"
#include "core/SearchState.h"
#include "query/clsDocumentAnalyst.h"
#include "reference/ReferenceEvaluator.h"

namespace {

// Pumps at every yield and requests a stop at the chosen one.
class FuzzHost : public zorvik::HeadlessHost {
 public:
  FuzzHost(zorvik::SearchState& state, unsigned stopAt)
      : HeadlessHost(std::chrono::microseconds(0)), state_(state), stopAt_(stopAt) {}
  void ShowStatus(int, std::string_view text) override { last = text; }
  zorvik::MsgAnswer MsgBox(std::string_view text, zorvik::MsgButtons buttons, zorvik::MsgIcon, std::string_view) override {
    messages.append(text);
    return zorvik::FirstButton(buttons);
  }

  std::string last;
  std::string messages;

 protected:
  void PumpPlatform() override {
    if (stopAt_ != 0 && ++pumps_ == stopAt_) state_.StopRequested = 1;
  }

 private:
  zorvik::SearchState& state_;
  unsigned stopAt_;
  unsigned pumps_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned stopAt = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto newline = input.find('\n');
  const std::string expression(input.substr(0, newline));
  const std::string page(newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1));

  zorvik::SearchState state;
  FuzzHost host(state, stopAt);
  zorvik::clsDocumentAnalyst analyst(host, state);
  // Small bounds keep every run short and exercise giving up.
  analyst.Limits.ExtraBytes = std::size_t{8} << 20;
  analyst.Limits.ExtraSteps = std::uint64_t{1} << 21;
  analyst.Init(expression);
  const bool ours = analyst.DocumentMatches(page);
  const zorvik::clsDocumentAnalyst::Cost& cost = analyst.LastCost();
  const bool gaveUp = host.messages.find("too complex") != std::string::npos;
  if (gaveUp != cost.GaveUp || cost.PeakBytes > cost.ByteLimit) std::abort();
  // A finished test keeps its answer: asking the result again agrees.
  if (!gaveUp && state.StopRequested == 0 && ours == analyst.LastResult().IsEmpty()) std::abort();

  if (page.size() <= 4096 && expression.size() <= 256 && !gaveUp) {
    zorvik::SearchState referenceState;
    FuzzHost referenceHost(referenceState, stopAt);
    zorvik::reference::ReferenceEvaluator reference(referenceHost, referenceState);
    reference.MaxSpans = 1 << 12;
    const bool theirs = reference.DocumentMatches(expression, page);
    // Both yield alike up to the pairing of spans, where only ours yields: a
    // stop that came then has no counterpart.
    const bool stoppedWhilePairing = state.StopRequested != 0 && referenceState.StopRequested == 0;
    if (!reference.Overflowed() && !stoppedWhilePairing) {
      if (ours != theirs) std::abort();
      if (host.messages != referenceHost.messages) std::abort();
      if (host.last != referenceHost.last) std::abort();
    }
  }
  return 0;
}
