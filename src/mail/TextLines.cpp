#include "mail/TextLines.h"

#include <string_view>

#include "mail/FileRead.h"

namespace zorvik::mail {


MailStatus ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::string bytes;
  if (MailStatus s = ReadWholeFile(path, kMaxAttachmentBytes, bytes); !s.ok()) return s;
  std::string_view rest(bytes);
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (lf != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
  }
  return MailStatus::Ok();
}

}  // namespace zorvik::mail
