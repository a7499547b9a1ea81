#pragma once
// BinHex 4.0 encoding of one file (data fork only): the Macintosh file
// header, the data fork and an empty resource fork, each followed by its
// CRC-16/XMODEM, run-length coded (0x90 marker), written in the 64-character
// BinHex alphabet between ':' marks in lines of 64 characters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik::mail {

// CRC-16/XMODEM (polynomial 0x1021, initial value 0, no reflection).
std::uint16_t Crc16Xmodem(std::string_view bytes, std::uint16_t crc = 0);

// The BinHex stream before run-length coding: header, forks and CRCs.
// `fileName` is cut to 63 bytes (the longest a Macintosh name may be).
std::string BinHexStream(std::string_view fileName, std::string_view data);

// Run-length coding: a byte repeated 4 to 255 times becomes byte, 0x90,
// count; a literal 0x90 becomes 0x90, 0x00.
std::string BinHexRle90(std::string_view bytes);

// Six-bit coding in the BinHex alphabet; a last partial group yields only the
// characters that carry bits.
std::string BinHexSixBit(std::string_view bytes);

// The whole encoded text: the "(This file must be converted with BinHex 4.0)"
// line, an empty line, then ':' + data + ':' in lines of at most 64
// characters, every line ended by CRLF. Nothing when the data is too large
// for the format (4 GiB and more).
std::optional<std::string> BinHexEncode(std::string_view fileName, std::string_view data);

}  // namespace zorvik::mail
