#pragma once
// The mailto scan: the address of the first mailto link of a page, which
// becomes the third line of the page's record in the URL file.

#include <cstddef>
#include <string>
#include <string_view>

namespace zorvik::harvest {

struct MailtoFind {
  bool found = false;          // all six marks are present
  std::size_t cutAt = 0;       // 0-based index where the page text is cut (found only)
  std::string_view address;    // view into the page text; empty when none
};

// Looks for the marks "<", ">", "<a href=", "\"mailto:", "<a href=\"mailto:"
// and "\">" (exact case); when one is missing nothing is found. Otherwise the
// cut falls just after the first "\"mailto:" and the address runs from there
// to the next double quote (empty when no quote follows) or to the first
// control character before it.
MailtoFind FindMailto(std::string_view page);

// Runs the scan on `pageText`: when every mark is present the text is cut to
// begin just after the first "\"mailto:", and the address is returned; the
// text is left unchanged and an empty string returned otherwise.
std::string MailtoScan(std::string& pageText);

}  // namespace zorvik::harvest
