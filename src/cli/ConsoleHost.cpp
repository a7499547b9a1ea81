#include "cli/ConsoleHost.h"

#include <ostream>

namespace zorvik::cli {

MsgAnswer ConsoleHost::MsgBox(std::string_view text, MsgButtons buttons, MsgIcon, std::string_view title) {
  err_ << title << ": " << text << '\n';
  // Nobody can answer: take the first button.
  switch (buttons) {
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
    default: return MsgAnswer::Ok;
  }
}

}  // namespace zorvik::cli
