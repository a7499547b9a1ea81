#include "core/Host.h"

#include <algorithm>
#include <thread>

namespace zorvik {

MsgAnswer FirstButton(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
  }
  return MsgAnswer::Ok;
}

Host::Host(std::chrono::microseconds pumpInterval) : interval_(pumpInterval) {}

Host::~Host() = default;

void Host::YieldSlowly() {
  if (interval_.count() <= 0) {
    countdown_ = 1;
    NoteGap(std::chrono::steady_clock::now());
    PumpNow();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  NoteGap(now);
  // Read the clock about eight times per interval, whatever a yield costs.
  const auto sinceCheck = now - lastCheck_;
  lastCheck_ = now;
  // The stride is capped so that a loop whose steps turn slow after a fast
  // phase is noticed within a few hundred yields.
  if (sinceCheck > interval_) {
    stride_ = 1;
  } else if (sinceCheck < interval_ / 16 && stride_ < 256) {
    stride_ *= 2;
  } else if (sinceCheck > interval_ / 4 && stride_ > 1) {
    stride_ /= 2;
  }
  countdown_ = stride_;
  if (now - lastPump_ < interval_) return;
  lastPump_ = now;
  PumpNow();
}

void Host::WaitEvents(std::chrono::milliseconds timeout) {
  ++yields_;
  lastPump_ = std::chrono::steady_clock::now();
  NoteGap(lastPump_);
  if (PumpNow()) return;  // the caller's condition may already be met
  EventSource* busy = nullptr;
  for (EventSource* s : sources_) {
    if (s != nullptr && s->Active()) {
      busy = s;
      break;
    }
  }
  if (busy != nullptr) {
    busy->WaitForActivity(std::min(timeout, longestBlock_));
  } else {
    WaitPlatform(timeout);
  }
  // Blocking here is the event loop waiting, not a stall.
  NoteGap(std::chrono::steady_clock::now());
  PumpNow();
}

void Host::AddEventSource(EventSource* source) {
  if (source != nullptr && std::find(sources_.begin(), sources_.end(), source) == sources_.end())
    sources_.push_back(source);
}

void Host::RemoveEventSource(EventSource* source) {
  // A source may go away while the sources are being pumped (an event handler
  // can destroy it): leave a hole that the next pump compacts.
  std::replace(sources_.begin(), sources_.end(), source, static_cast<EventSource*>(nullptr));
}

void Host::WaitPlatform(std::chrono::milliseconds timeout) {
  std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(1)));
}

bool Host::EventSourcesActive() const {
  return std::any_of(sources_.begin(), sources_.end(), [](const EventSource* s) { return s != nullptr && s->Active(); });
}

bool Host::PumpNow(bool platform) {
  ++depth_;
  if (platform) {
    ++pumps_;
    PumpPlatform();
  }
  bool progress = false;
  // Index loop: event handlers may add sources or remove them while we pump.
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    if (EventSource* s = sources_[i]) progress = s->Pump() || progress;
  }
  // Only the outermost pump compacts, so that an enclosing loop's indices stay valid.
  if (--depth_ == 0)
    sources_.erase(std::remove(sources_.begin(), sources_.end(), nullptr), sources_.end());
  return progress;
}

}  // namespace zorvik
