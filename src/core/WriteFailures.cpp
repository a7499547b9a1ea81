#include "core/WriteFailures.h"

#include "core/Host.h"

namespace zorvik {

void WriteFailures::Report(const std::filesystem::path& file, std::error_code error) {
  ++count_;
  if (toldThisSearch_) return;
  toldThisSearch_ = true;
  std::string text = "Could not write \"" + file.string() + "\": " + error.message() + ".";
  if (!first_) first_ = text;
  text += " Stop the search?";
  if (host_.MsgBox(text, MsgButtons::YesNo, MsgIcon::Critical, "Write Error") == MsgAnswer::Yes && stop) stop();
}

}  // namespace zorvik
