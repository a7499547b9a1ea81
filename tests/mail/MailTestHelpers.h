#pragma once
// Helpers for the mail tests, among them a BinHex 4.0 decoder written from
// the format description (not from the encoder).

#include <optional>
#include <string>
#include <string_view>

namespace zorvik::mail::test {

struct BinHexFile {
  std::string name, data, resource;
  bool crcOk = false;
};

// Decodes "(This file must be converted with BinHex 4.0)" ... ":...:" text.
std::optional<BinHexFile> DecodeBinHex(const std::string& text);

// The length of the longest line of CRLF-separated text; npos when the text
// holds a bare CR or LF.
std::size_t LongestLine(std::string_view text);

}  // namespace zorvik::mail::test
