#pragma once
// Speaks for the crawl towards one server. The crawl asks it before every
// fetch whether the next address lies outside its server. It also carries a
// list of excluded path fragments with a test against it and a line reader,
// the makings of robots exclusion; the list is never filled, so only the
// "cgi" test of Rejects has any effect.

#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class Host;
struct SearchState;

class clsDiplomat {
 public:
  clsDiplomat(Host& host, const SearchState& state) : host_(host), state_(state) {}

  // The address part this diplomat speaks for. Nothing assigns it, so it
  // stays empty.
  std::string Server;

  // Resets the excluded list to one empty entry; the arguments are not used.
  void Init(std::string_view server, std::string_view pageText);

  // True when Server does not occur in the address: with Server empty, false
  // for every address but the empty one.
  bool NewServerURL(std::string_view address) const;

  // True when the address contains "cgi" (lower case) or one of the excluded
  // fragments. The list's last entry is never tested.
  bool Rejects(std::string_view address) const;

  // Takes the first line off `text` and returns it without trailing control
  // characters (one character is always kept). Text without a line feed is
  // returned whole and `text` emptied. A stop requested while trailing
  // characters are dropped returns an empty line and leaves `text` alone.
  // Yields before it returns a line.
  std::string ReadLine(std::string& text);

  static constexpr std::string_view kDisallowKeyword = "disallow:";

 private:
  Host& host_;
  const SearchState& state_;
  std::vector<std::string> excluded_{std::string()};
};

}  // namespace zorvik
