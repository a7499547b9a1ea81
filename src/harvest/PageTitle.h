#pragma once
// The title of a page, for the second line of its record in the URL file.

#include <optional>
#include <string>
#include <string_view>

namespace zorvik {
struct RobotForm;
}

namespace zorvik::harvest {

// The text between "<title>" and "</title>" (found in any letter case, kept
// in the page's own case). Without "<title>" the title runs from the 7th
// character up to "</title>". Nothing when there is no "</title>" or it
// stands before where the title would begin. Line breaks and any other
// control characters inside the title become single blanks (CR LF counting as
// one), so that a record of the URL file always stays three clean lines.
std::optional<std::string> TitleOf(std::string_view page);

// Sets form.PageTitle from form.txtOutput; keeps the previous title when the
// page has none.
void ExtractTitle(RobotForm& form);

}  // namespace zorvik::harvest
