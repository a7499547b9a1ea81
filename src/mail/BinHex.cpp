#include "mail/BinHex.h"

#include <limits>

namespace zorvik::mail {
namespace {

constexpr std::string_view kAlphabet =
    "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
static_assert(kAlphabet.size() == 64);

constexpr unsigned char kRunMarker = 0x90;
constexpr std::size_t kLineLength = 64;

void PutU16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v & 0xFF));
}

void PutU32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

}  // namespace

std::uint16_t Crc16Xmodem(std::string_view bytes, std::uint16_t crc) {
  for (unsigned char b : bytes) {
    crc ^= static_cast<std::uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<std::uint16_t>(crc << 1);
  }
  return crc;
}

std::string BinHexStream(std::string_view fileName, std::string_view data) {
  if (fileName.size() > 63) fileName = fileName.substr(0, 63);
  std::string header;
  header.push_back(static_cast<char>(fileName.size()));
  header.append(fileName);
  header.push_back('\0');       // version
  header.append("????");        // file type: unknown
  header.append("????");        // creator: unknown
  PutU16(header, 0);            // Finder flags
  PutU32(header, static_cast<std::uint32_t>(data.size()));
  PutU32(header, 0);            // resource fork length
  std::string out = header;
  PutU16(out, Crc16Xmodem(header));
  out.append(data);
  PutU16(out, Crc16Xmodem(data));
  PutU16(out, Crc16Xmodem({}));  // the empty resource fork
  return out;
}

std::string BinHexRle90(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 4);
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == kRunMarker) {
      out.push_back(static_cast<char>(kRunMarker));
      out.push_back('\0');
      ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < bytes.size() && run < 255 && static_cast<unsigned char>(bytes[i + run]) == c)
      ++run;
    if (run >= 4) {
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(kRunMarker));
      out.push_back(static_cast<char>(run));
      i += run;
    } else {
      out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  return out;
}

std::string BinHexSixBit(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 4 / 3 + 4);
  std::uint32_t acc = 0;
  int bits = 0;
  for (unsigned char b : bytes) {
    acc = (acc << 8) | b;
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      out.push_back(kAlphabet[(acc >> bits) & 0x3F]);
    }
  }
  if (bits > 0) out.push_back(kAlphabet[(acc << (6 - bits)) & 0x3F]);
  return out;
}

std::optional<std::string> BinHexEncode(std::string_view fileName, std::string_view data) {
  if (data.size() > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  const std::string chars = ":" + BinHexSixBit(BinHexRle90(BinHexStream(fileName, data))) + ":";
  std::string out = "(This file must be converted with BinHex 4.0)\r\n\r\n";
  out.reserve(out.size() + chars.size() + chars.size() / kLineLength * 2 + 2);
  for (std::size_t pos = 0; pos < chars.size(); pos += kLineLength) {
    out.append(chars, pos, kLineLength);
    out.append("\r\n");
  }
  return out;
}

}  // namespace zorvik::mail
