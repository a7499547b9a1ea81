#include "settings/MailSettings.h"

namespace zorvik {

MailSettings& ProcessMailSettings() {
  static MailSettings settings;
  return settings;
}

}  // namespace zorvik
