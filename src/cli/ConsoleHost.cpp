#include "cli/ConsoleHost.h"

#include <ostream>

namespace zorvik::cli {

MsgAnswer ConsoleHost::MsgBox(std::string_view text, MsgButtons buttons, MsgIcon, std::string_view title) {
  err_ << title << ": " << text << '\n';
  return FirstButton(buttons);
}

}  // namespace zorvik::cli
