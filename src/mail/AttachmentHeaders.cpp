#include "mail/AttachmentHeaders.h"

#include "core/Text.h"

namespace zorvik::mail {

std::string AttachmentExtension(std::string_view bareName) {
  const std::size_t dot = bareName.find('.');
  if (dot == std::string_view::npos) return {};
  return text::LCase(bareName.substr(dot));
}

std::string QuotedParameter(std::string_view value) {
  std::string out = "\"";
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') out += '\\';
    out += (u < 32 || u == 127) ? '_' : c;
  }
  return out + "\"";
}

AttachmentHeaders HeadersForAttachment(const std::string& fullPath, const std::string& bareName,
                                       const std::string& chosenEncoding) {
  const std::string extension = AttachmentExtension(bareName);
  AttachmentHeaders h;
  h.transferEncoding = chosenEncoding;
  if (extension == ".zip") {
    h.contentType = "application";
    h.contentSubtype = "x-zip-compressed";
    h.contentParameters = "name=" + QuotedParameter(fullPath);
    h.contentDisposition = "attachment; filename=" + QuotedParameter(bareName);
  } else if (extension == ".txt") {
    h.contentType = "text";
    h.contentSubtype = "plain";
    h.contentParameters = "charset=us-ascii";
    h.transferEncoding = "7bit";
    h.contentDisposition = "inline; filename=" + QuotedParameter(fullPath);
    h.bodyFromBytes = true;
  } else if (extension == ".gif" || extension == ".bmp" || extension == ".jpg") {
    h.contentType = "image";
    h.contentSubtype = extension.substr(1);
    h.contentDisposition = "inline; filename=" + QuotedParameter(bareName);
  } else {
    h.contentType = "application";
    h.contentSubtype = "octet-stream";
    h.contentDisposition = "attachment; filename=" + QuotedParameter(bareName);
  }
  return h;
}

}  // namespace zorvik::mail
