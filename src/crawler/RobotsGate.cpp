#include "crawler/RobotsGate.h"

#include <cstdio>

#include "core/Host.h"
#include "core/Text.h"
#include "crawler/Inet.h"

namespace zorvik {

namespace {
// How long one wait for the file blocks before the stop and the time limit
// are looked at again.
constexpr std::chrono::milliseconds kWaitSlice{50};

// The key of an address's server: its robots file address, lower-cased.
std::string ServerKey(std::string_view address) { return text::LCase(RobotsFileAddressFor(address)); }
}  // namespace

void RobotsGate::Reset() {
  byServer_.clear();
  delayCapTold_.clear();
}

void RobotsGate::Abandon() { transfer_.Cancel(); }

std::optional<std::string> RobotsGate::Read(const std::string& fileAddress) {
  if (!transfer_.Execute(fileAddress)) return std::string();
  const auto started = host_.Now();
  while (transfer_.StillExecuting()) {
    if (stopWanted_ && stopWanted_()) {
      transfer_.Cancel();
      return std::nullopt;
    }
    if (host_.Now() - started >= kReadTimeLimit) {
      transfer_.Cancel();
      return std::string();
    }
    host_.WaitEvents(kWaitSlice);
  }
  // Cancelled from outside (a Stop command) while it ran.
  if (stopWanted_ && stopWanted_()) return std::nullopt;
  const int status = transfer_.StatusCode();
  if (status < 200 || status >= 300) return std::string();
  std::string body;
  for (std::string piece = transfer_.GetChunk(64 * 1024); !piece.empty(); piece = transfer_.GetChunk(64 * 1024)) {
    body += piece;
  }
  return body;
}

const RobotsRules* RobotsGate::RulesFor(std::string_view address) {
  const std::string key = ServerKey(address);
  if (key.empty()) return nullptr;
  if (const auto it = byServer_.find(key); it != byServer_.end()) return &it->second;
  ++requested_;
  const std::optional<std::string> body = Read(RobotsFileAddressFor(address));
  // A read a stop ended decides nothing and is not kept.
  if (!body) return nullptr;
  return &byServer_.insert_or_assign(key, RobotsRules::Parse(*body)).first->second;
}

bool RobotsGate::Allows(std::string_view address) {
  const RobotsRules* rules = RulesFor(address);
  return rules == nullptr || rules->Allows(address);
}

std::optional<double> RobotsGate::CrawlDelayFor(std::string_view address) {
  const std::string key = ServerKey(address);
  const auto it = byServer_.find(key);
  if (it == byServer_.end()) return std::nullopt;
  const std::optional<double> delay = it->second.CrawlDelay();
  if (!delay || *delay <= kLongestCrawlDelay) return delay;
  if (delayCapTold_.insert(key).second) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", *delay);
    host_.ShowStatus(1, std::string("Crawl-delay of ") + seconds + " s in " + key + ": waiting " +
                            std::to_string(static_cast<int>(kLongestCrawlDelay)) + " s");
  }
  return kLongestCrawlDelay;
}

}  // namespace zorvik
