#include "crawler/RobotsGate.h"

#include "core/Text.h"
#include "crawler/Inet.h"

namespace zorvik {

namespace {
// The key of an address's server: its robots file address, lower-cased.
std::string ServerKey(std::string_view address) { return text::LCase(RobotsFileAddressFor(address)); }
}  // namespace

const RobotsRules* RobotsGate::RulesFor(std::string_view address) {
  const std::string key = ServerKey(address);
  if (key.empty()) return nullptr;
  if (const auto it = byServer_.find(key); it != byServer_.end()) return &it->second;
  ++requested_;
  const std::string body = transfer_.OpenURL(RobotsFileAddressFor(address), Inet::kText);
  const int status = transfer_.StatusCode();
  RobotsRules rules = status >= 200 && status < 300 ? RobotsRules::Parse(body) : RobotsRules();
  return &byServer_.insert_or_assign(key, std::move(rules)).first->second;
}

bool RobotsGate::Allows(std::string_view address) {
  const RobotsRules* rules = RulesFor(address);
  return rules == nullptr || rules->Allows(address);
}

std::optional<double> RobotsGate::CrawlDelayFor(std::string_view address) const {
  const auto it = byServer_.find(ServerKey(address));
  if (it == byServer_.end()) return std::nullopt;
  return it->second.CrawlDelay();
}

}  // namespace zorvik
