#include "MailTestHelpers.h"

#include <algorithm>
#include <cstdint>

namespace zorvik::mail::test {
namespace {

// CRC-16/CCITT, bit by bit with the augmented message (the way the format
// defines it): feed the bytes and then two zero bytes.
std::uint32_t AugmentedCrc(const std::string& bytes) {
  std::uint32_t crc = 0;
  for (unsigned char b : bytes + std::string(2, '\0')) {
    for (int i = 7; i >= 0; --i) {
      const bool top = crc & 0x8000;
      crc = ((crc << 1) | ((b >> i) & 1)) & 0xFFFF;
      if (top) crc ^= 0x1021;
    }
  }
  return crc;
}

}  // namespace

std::optional<BinHexFile> DecodeBinHex(const std::string& text) {
  static const std::string alphabet =
      "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
  constexpr auto npos = std::string::npos;
  std::size_t open = text.find("(This file must be converted with BinHex 4.0)");
  if (open != npos) open = text.find(':', open);
  const std::size_t close = open == npos ? npos : text.find(':', open + 1);
  if (close == npos) return std::nullopt;
  std::string packed, raw;  // six-bit characters to bytes, line breaks skipped
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = open + 1; i < close; ++i) {
    if (text[i] == '\r' || text[i] == '\n') continue;
    const std::size_t v = alphabet.find(text[i]);
    if (v == npos) return std::nullopt;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    if ((bits += 6) >= 8) packed += static_cast<char>(acc >> (bits -= 8));
  }
  for (std::size_t i = 0; i < packed.size(); ++i) {  // run-length decoding
    if (packed[i] != '\x90') {
      raw += packed[i];
    } else if (++i == packed.size() || (packed[i] != 0 && raw.empty())) {
      return std::nullopt;
    } else if (packed[i] == 0) {
      raw += '\x90';
    } else {
      raw.append(static_cast<unsigned char>(packed[i]) - 1u, raw.back());
    }
  }
  auto num = [&](std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int k = 0; k < bytes; ++k) v = (v << 8) | static_cast<unsigned char>(raw[at + k]);
    return v;
  };
  if (raw.empty()) return std::nullopt;
  // Name length, name, version, type, creator, flags, data and resource
  // lengths, then the header CRC.
  const std::size_t nameLen = static_cast<unsigned char>(raw[0]), headerLen = nameLen + 20;
  if (raw.size() < headerLen + 2) return std::nullopt;
  const std::size_t dataLen = num(nameLen + 12, 4), rsrcLen = num(nameLen + 16, 4);
  const std::size_t dataAt = headerLen + 2, rsrcAt = dataAt + dataLen + 2;
  if (raw.size() != rsrcAt + rsrcLen + 2) return std::nullopt;
  BinHexFile f{raw.substr(1, nameLen), raw.substr(dataAt, dataLen), raw.substr(rsrcAt, rsrcLen)};
  f.crcOk = num(headerLen, 2) == AugmentedCrc(raw.substr(0, headerLen)) &&
            num(dataAt + dataLen, 2) == AugmentedCrc(f.data) &&
            num(rsrcAt + rsrcLen, 2) == AugmentedCrc(f.resource);
  return f;
}

std::size_t LongestLine(std::string_view text) {
  std::size_t longest = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    if (line.find_first_of("\r\n") != std::string_view::npos) return std::string_view::npos;
    longest = std::max(longest, line.size());
    pos = end + 2;
  }
  return longest;
}

}  // namespace zorvik::mail::test
