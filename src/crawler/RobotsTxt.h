#pragma once
// A server's robots exclusion file ("/robots.txt"), read for the robot's own
// user-agent: the groups naming "Zorvik" if there are any, else the groups
// for "*". Allow and Disallow rules match the start of an address's path
// (with "*" for any run of characters and "$" for the end); the longest
// matching rule wins, Allow on a tie. No rule, no file or an unreadable file
// allows everything.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

inline constexpr std::string_view kRobotName = "Zorvik";

class RobotsRules {
 public:
  // Rules that allow everything.
  RobotsRules() = default;
  // Reads the file's text (only its first 500 KiB are looked at).
  static RobotsRules Parse(std::string_view text, std::string_view agent = kRobotName);

  // Whether an address may be fetched: an absolute address or a path.
  bool Allows(std::string_view address) const;
  // The pause the server asks for between fetches, in seconds.
  std::optional<double> CrawlDelay() const { return crawlDelay_; }
  std::size_t RuleCount() const { return rules_.size(); }

 private:
  struct Rule {
    bool allow;
    std::string pattern;
  };
  std::vector<Rule> rules_;
  std::optional<double> crawlDelay_;
};

// The part of an absolute address that robots rules match: the path with its
// query, "/" when there is none. The fragment is dropped.
std::string RobotsPathOf(std::string_view address);

// The address of the robots file that governs an address: scheme and server
// followed by "/robots.txt"; empty when the address has no "//".
std::string RobotsFileAddressFor(std::string_view address);

}  // namespace zorvik
