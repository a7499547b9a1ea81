#pragma once
// Independent readers for what the mail component writes: a BinHex 4.0
// decoder written from the format description (not from the encoder), and a
// VMime-based reader that returns every leaf part with its decoded body.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvik::mail::test {

struct BinHexFile {
  std::string name;
  std::string data;
  std::string resource;
  bool crcOk = false;
};

// Decodes "(This file must be converted with BinHex 4.0)" ... ":...:" text.
std::optional<BinHexFile> DecodeBinHex(const std::string& text);

struct ParsedPart {
  std::string type;         // "text/plain"
  std::string encoding;     // as named in the header
  std::string disposition;  // Content-Disposition value as written
  std::string rawBody;      // the encoded body as it stands in the message
  std::string body;         // decoded (BinHex bodies: left encoded)
};

struct ParsedMessage {
  std::string headerBlock;  // raw, up to the empty line
  std::string subject;      // decoded to UTF-8
  std::string contentType;  // of the root, e.g. "multipart/mixed"
  std::string boundary;
  std::vector<ParsedPart> leaves;
};

ParsedMessage ParseWithVmime(const std::string& bytes);

}  // namespace zorvik::mail::test
