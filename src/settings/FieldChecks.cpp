#include "settings/FieldChecks.h"

#include <string>

#include "core/Host.h"
#include "settings/SettingsFile.h"

namespace zorvik {

bool RefuseLineBreak(Host& host, std::string_view caption, std::string_view label,
                     std::string_view value) {
  if (!ValueHasLineBreak(value)) return false;
  host.MsgBox("\"" + std::string(label) + "\" cannot hold a line break. Please enter it on one line.",
              MsgButtons::Ok, MsgIcon::Exclamation, caption);
  return true;
}

}  // namespace zorvik
