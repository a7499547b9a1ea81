#pragma once
// Speaks for the crawl towards one server. The crawl asks it before every
// fetch whether the next address lies outside its server.

#include <string>
#include <string_view>

namespace zorvik {

class clsDiplomat {
 public:
  // The address part this diplomat speaks for. Nothing assigns it, so it
  // stays empty.
  std::string Server;

  // True when Server does not occur in the address: with Server empty, false
  // for every address but the empty one.
  bool NewServerURL(std::string_view address) const;
};

}  // namespace zorvik
