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

// The encoder fed in pieces, so that a large file is never encoded whole:
// Begin with the name and the data fork's whole length, Feed the data in any
// pieces, then Finish. Each call appends the text it completes to `out`.
class BinHexWriter {
 public:
  // `fileName` is cut to 63 bytes (the longest a Macintosh name may be).
  // False when the data is too large for the format (4 GiB and more).
  bool Begin(std::string_view fileName, std::uint64_t dataSize, std::string& out);
  void Feed(std::string_view data, std::string& out);
  void Finish(std::string& out);

 private:
  // The stream before run-length coding goes through these, in order.
  void Stream(std::string_view bytes, std::string& out);
  void FlushRun(std::string& out);
  void Rle(unsigned char byte, std::string& out);
  void SixBit(unsigned char byte, std::string& out);
  void Char(char c, std::string& out);

  std::uint16_t crc_ = 0;
  int run_ = 0;            // pending repeats of runByte_
  unsigned char runByte_ = 0;
  std::uint32_t bits_ = 0;  // six-bit stage: pending bits
  int bitCount_ = 0;
  std::size_t column_ = 0;  // characters on the current line
};

// The whole encoded text: the "(This file must be converted with BinHex 4.0)"
// line, an empty line, then ':' + data + ':' in lines of at most 64
// characters, every line ended by CRLF. Nothing when the data is too large
// for the format (4 GiB and more).
std::optional<std::string> BinHexEncode(std::string_view fileName, std::string_view data);

}  // namespace zorvik::mail
