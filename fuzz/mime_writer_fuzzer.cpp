// Fuzz target: the MIME writer, which writes whatever a user attached (any
// bytes, any file) under boundaries that must stay out of the parts.
//
// Input: the root's boundary, then parts, all separated by "\n--part\n". A
// part's first byte picks its encoding and type; a part whose type is
// multipart takes its boundary from its first line and holds the rest as one
// text part. Checks: the bytes read in small pieces are exactly Size() long
// and equal the whole message; an independent parser (VMime) finds the same
// parts at both levels, so no boundary occurs inside a part.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <vmime/vmime.hpp>

#include "mail/MimeWriter.h"

namespace {

using zorvik::mail::MimePart;

std::vector<std::string_view> Split(std::string_view in, std::string_view separator) {
  std::vector<std::string_view> out;
  for (std::size_t at; (at = in.find(separator)) != std::string_view::npos;) {
    out.push_back(in.substr(0, at));
    in.remove_prefix(at + separator.size());
  }
  out.push_back(in);
  return out;
}

MimePart& Add(MimePart& parent) {
  parent.children.push_back(std::make_unique<MimePart>());
  parent.children.back()->parent = &parent;
  return *parent.children.back();
}

std::size_t PartsOf(const vmime::shared_ptr<const vmime::body>& body) {
  return body->getPartCount();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* kEncodings[] = {"", "7bit", "8bit", "base64", "quoted-printable",
                                     "x-uuencode", "mac-binhex40", "binary"};
  const auto fields = Split(std::string_view(reinterpret_cast<const char*>(data), size), "\n--part\n");
  if (fields.size() < 2) return 0;
  MimePart root;
  root.contentType = "multipart";
  root.boundary = std::string(fields[0]);
  std::vector<std::size_t> nested;  // children of each nested multipart, in order
  for (std::size_t i = 1; i < fields.size(); ++i) {
    std::string_view field = fields[i];
    const unsigned char pick = field.empty() ? 0 : static_cast<unsigned char>(field[0]);
    if (!field.empty()) field.remove_prefix(1);
    MimePart& part = Add(root);
    if ((pick & 0xC0) == 0xC0) {
      const std::size_t nl = field.find('\n');
      part.contentType = "multipart";
      part.boundary = std::string(field.substr(0, nl));
      MimePart& inner = Add(part);
      inner.contentType = "text";
      inner.transferEncoding = kEncodings[pick & 7];
      inner.body = {std::string(nl == std::string_view::npos ? "" : field.substr(nl + 1))};
      nested.push_back(1);
      continue;
    }
    part.contentType = (pick & 8) ? "text" : "application";
    part.transferEncoding = kEncodings[pick & 7];
    part.fileName = "f";
    // Bodies in two pieces, as PartBody allows.
    const std::size_t half = field.size() / 2;
    part.body = {std::string(field.substr(0, half)), std::string(field.substr(half))};
  }
  zorvik::mail::MessageHeaders headers{"a@example.org", "b@example.org", "", "s",
                                       "Sun, 06 Dec 2026 16:48:39 +0000", "<1@example.org>"};
  zorvik::mail::MessageWriter writer;
  if (!writer.Start(headers, root).ok()) return 0;  // an unusable boundary
  while (!writer.Prepare(std::chrono::milliseconds(1))) {
  }
  if (!writer.Status().ok()) return 0;
  std::string pieces;
  while (writer.Read(pieces, 777)) {
  }
  if (pieces.size() != writer.Size()) __builtin_trap();

  vmime::message parsed;
  parsed.parse(pieces);
  const auto body = parsed.getBody();
  if (PartsOf(body) != fields.size() - 1) __builtin_trap();
  std::size_t n = 0;
  for (std::size_t i = 0; i < PartsOf(body); ++i) {
    const auto child = body->getPartAt(i)->getBody();
    if (PartsOf(child) > 0 && (n >= nested.size() || PartsOf(child) != nested[n++])) __builtin_trap();
  }
  if (n != nested.size()) __builtin_trap();
  return 0;
}
