#include "crawler/clsDiplomat.h"

#include "core/Host.h"
#include "core/SearchState.h"

namespace zorvik {

void clsDiplomat::Init(std::string_view, std::string_view) { excluded_.assign(1, std::string()); }

bool clsDiplomat::NewServerURL(std::string_view address) const {
  // An empty Server is found in any text but the empty one, as a search
  // from the first character would find it.
  if (Server.empty()) return address.empty();
  return address.find(Server) == std::string_view::npos;
}

bool clsDiplomat::Rejects(std::string_view address) const {
  bool found = false;
  for (std::size_t i = 0; i + 1 < excluded_.size(); ++i) {
    if (address.find(excluded_[i]) != std::string_view::npos) {
      found = true;
      break;
    }
  }
  return address.find("cgi") != std::string_view::npos || found;
}

std::string clsDiplomat::ReadLine(std::string& text) {
  const std::size_t lf = text.find('\n');
  if (lf == std::string::npos) {
    std::string line = std::move(text);
    text.clear();
    host_.DoEvents();
    return line;
  }
  std::string line = text.substr(0, lf);
  while (line.size() > 1 && static_cast<unsigned char>(line.back()) < 32) {
    line.pop_back();
    if (state_.StopIsRequested()) return {};
  }
  text.erase(0, lf + 1);
  host_.DoEvents();
  return line;
}

}  // namespace zorvik
