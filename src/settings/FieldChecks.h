#pragma once
// The check the settings dialogs make before "Ok" takes their values.

#include <string_view>

namespace zorvik {

class Host;

// Shows the message for a field that holds a line break and returns true
// when `value` holds one. `label` is the field's label without its colon.
bool RefuseLineBreak(Host& host, std::string_view caption, std::string_view label,
                     std::string_view value);

}  // namespace zorvik
