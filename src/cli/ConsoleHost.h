#pragma once
// The Host of the command-line tool: a message box becomes a line on
// standard error ("title: text") and answers with its first button.

#include <iosfwd>

#include "core/HeadlessHost.h"

namespace zorvik::cli {

class ConsoleHost : public HeadlessHost {
 public:
  explicit ConsoleHost(std::ostream& err) : err_(err) {}

  MsgAnswer MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title) override;

 private:
  std::ostream& err_;
};

}  // namespace zorvik::cli
