#pragma once
// Robots exclusion for a crawl: before a page or link of a server is fetched,
// that server's "/robots.txt" is read (once per server and crawl, through a
// transfer of its own that counts as no searched page) and asked whether the
// address may be fetched. A missing or unreadable file allows everything, and
// so does one that has not arrived within ten seconds. A stop ends the read.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "crawler/RobotsTxt.h"

namespace zorvik {

class Host;
class Inet;

class RobotsGate {
 public:
  // How long a robots file may take to arrive; a server whose file is not in
  // by then counts as having none.
  static constexpr std::chrono::seconds kReadTimeLimit{10};
  // The longest pause a server's Crawl-delay may ask for; longer ones are
  // cut to it (the status bar says so once per server and crawl).
  static constexpr double kLongestCrawlDelay = 120;

  // `stopWanted` tells whether the user has asked the search to stop.
  RobotsGate(Host& host, Inet& transfer, std::function<bool()> stopWanted)
      : host_(host), transfer_(transfer), stopWanted_(std::move(stopWanted)) {}

  // Forgets every file read: a new crawl reads them again.
  void Reset();

  // Whether the address may be fetched; reads the server's file first when
  // this crawl has not read it yet. Addresses without "//" are allowed, and
  // so is any address while a stop ends the read.
  bool Allows(std::string_view address);
  // The pause the address's server asks for, if its file was read and has
  // one, at most kLongestCrawlDelay.
  std::optional<double> CrawlDelayFor(std::string_view address);

  // Ends a read in progress (the Stop commands).
  void Abandon();

  // Robots files requested since construction.
  std::size_t FilesRequested() const { return requested_; }

 private:
  const RobotsRules* RulesFor(std::string_view address);
  // The file's text when it arrived with a success status, an empty text
  // when it did not (or not in time), nothing when a stop ended the read.
  std::optional<std::string> Read(const std::string& fileAddress);

  Host& host_;
  Inet& transfer_;
  std::function<bool()> stopWanted_;
  std::unordered_map<std::string, RobotsRules> byServer_;
  std::unordered_set<std::string> delayCapTold_;
  std::size_t requested_ = 0;
};

}  // namespace zorvik
