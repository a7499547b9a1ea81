#include "harvest/PageTitle.h"

#include "core/RobotForm.h"
#include "core/Text.h"

namespace zorvik::harvest {

std::optional<std::string> TitleOf(std::string_view page) {
  // 1-based positions; 0 = absent.
  const std::size_t start = text::InStrNoCase(1, page, "<title>") + 7;
  const std::size_t end = text::InStrNoCase(1, page, "</title>");
  if (end < start) return std::nullopt;
  const std::string_view raw = text::Mid(page, start, end - start);
  std::string title;
  title.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (text::IsControlCharacter(c)) {
      if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      title.push_back(' ');
    } else {
      title.push_back(c);
    }
  }
  return title;
}

void ExtractTitle(RobotForm& form) {
  if (std::optional<std::string> title = TitleOf(form.txtOutput)) form.PageTitle = std::move(*title);
}

}  // namespace zorvik::harvest
