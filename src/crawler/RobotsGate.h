#pragma once
// Robots exclusion for a crawl: before a page or link of a server is fetched,
// that server's "/robots.txt" is read (once per server and crawl, through a
// transfer of its own that counts as no searched page) and asked whether the
// address may be fetched. A missing or unreadable file allows everything.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "crawler/RobotsTxt.h"

namespace zorvik {

class Inet;

class RobotsGate {
 public:
  explicit RobotsGate(Inet& transfer) : transfer_(transfer) {}

  // Forgets every file read: a new crawl reads them again.
  void Reset() { byServer_.clear(); }

  // Whether the address may be fetched; reads the server's file first when
  // this crawl has not read it yet. Addresses without "//" are allowed.
  bool Allows(std::string_view address);
  // The pause the address's server asks for, if its file was read and has one.
  std::optional<double> CrawlDelayFor(std::string_view address) const;

  // Robots files requested since construction.
  std::size_t FilesRequested() const { return requested_; }

 private:
  const RobotsRules* RulesFor(std::string_view address);

  Inet& transfer_;
  std::unordered_map<std::string, RobotsRules> byServer_;
  std::size_t requested_ = 0;
};

}  // namespace zorvik
