#pragma once
// The MIME headers of an attached file, chosen by its extension: the bare
// file name from its first "." to its end, in lower case (".zip" for
// "Report.ZIP", ".tar.gz" for "archive.tar.gz", ".backup.zip" for
// "data.backup.zip").
//
//   ".zip"                   application/x-zip-compressed; name="<full path>",
//                            attachment; filename="<bare name>"
//   ".txt"                   text/plain; charset=us-ascii, always "7bit",
//                            inline; filename="<full path>", the file's bytes
//                            set as the body rather than loaded and encoded
//   ".gif", ".bmp", ".jpg"   image/<extension without the dot>,
//                            inline; filename="<bare name>"
//   anything else, or none   application/octet-stream,
//                            attachment; filename="<bare name>"
//
// Every other part takes the encoding the user chose. File names are
// untrusted: inside the quotes a '"' or '\' is escaped and a control
// character becomes '_', so a name can neither end the value early nor
// break the header line.

#include <string>
#include <string_view>

namespace zorvik::mail {

struct AttachmentHeaders {
  std::string contentType;
  std::string contentSubtype;
  std::string contentParameters;  // empty: not set
  std::string transferEncoding;
  std::string contentDisposition;
  // True for ".txt": the bytes go into the part as its body, unencoded.
  bool bodyFromBytes = false;
};

// The extension as above; empty when the name has no ".".
std::string AttachmentExtension(std::string_view bareName);

// A MIME quoted-string holding `value` (quotes included).
std::string QuotedParameter(std::string_view value);

AttachmentHeaders HeadersForAttachment(const std::string& fullPath, const std::string& bareName,
                                       const std::string& chosenEncoding);

}  // namespace zorvik::mail
