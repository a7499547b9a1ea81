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

// Appends one byte's run-length code, or a run's, to `out`.
void PutRun(unsigned char byte, int count, std::string& out) {
  if (byte == kRunMarker) {  // never part of a run
    for (int i = 0; i < count; ++i) out.append({static_cast<char>(kRunMarker), '\0'});
  } else if (count >= 4) {
    out.append({static_cast<char>(byte), static_cast<char>(kRunMarker), static_cast<char>(count)});
  } else {
    out.append(static_cast<std::size_t>(count), static_cast<char>(byte));
  }
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

bool BinHexWriter::Begin(std::string_view fileName, std::uint64_t dataSize, std::string& out) {
  if (dataSize > std::numeric_limits<std::uint32_t>::max()) return false;
  *this = BinHexWriter();
  if (fileName.size() > 63) fileName = fileName.substr(0, 63);
  std::string header;
  header.push_back(static_cast<char>(fileName.size()));
  header.append(fileName);
  header.push_back('\0');  // version
  header.append("????");   // file type: unknown
  header.append("????");   // creator: unknown
  PutU16(header, 0);       // Finder flags
  PutU32(header, static_cast<std::uint32_t>(dataSize));
  PutU32(header, 0);  // resource fork length
  out += "(This file must be converted with BinHex 4.0)\r\n\r\n";
  Char(':', out);
  Stream(header, out);
  std::string crc;
  PutU16(crc, Crc16Xmodem(header));
  Stream(crc, out);
  crc_ = 0;  // the data fork's own CRC starts here
  return true;
}

void BinHexWriter::Feed(std::string_view data, std::string& out) {
  crc_ = Crc16Xmodem(data, crc_);
  Stream(data, out);
}

void BinHexWriter::Finish(std::string& out) {
  std::string tail;
  PutU16(tail, crc_);
  PutU16(tail, Crc16Xmodem({}));  // the empty resource fork
  Stream(tail, out);
  FlushRun(out);
  if (bitCount_ > 0) Char(kAlphabet[(bits_ << (6 - bitCount_)) & 0x3F], out);
  bitCount_ = 0;
  Char(':', out);
  out += "\r\n";
}

void BinHexWriter::Stream(std::string_view bytes, std::string& out) {
  for (unsigned char b : bytes) {
    if (run_ > 0 && (b != runByte_ || b == kRunMarker || run_ == 255)) FlushRun(out);
    runByte_ = b;
    ++run_;
  }
}

void BinHexWriter::FlushRun(std::string& out) {
  if (run_ == 0) return;
  std::string coded;
  PutRun(runByte_, run_, coded);
  run_ = 0;
  for (unsigned char c : coded) SixBit(c, out);
}

void BinHexWriter::SixBit(unsigned char byte, std::string& out) {
  bits_ = (bits_ << 8) | byte;
  bitCount_ += 8;
  while (bitCount_ >= 6) {
    bitCount_ -= 6;
    Char(kAlphabet[(bits_ >> bitCount_) & 0x3F], out);
  }
  bits_ &= (1u << bitCount_) - 1;
}

void BinHexWriter::Char(char c, std::string& out) {
  if (column_ == kLineLength) {
    out += "\r\n";
    column_ = 0;
  }
  out.push_back(c);
  ++column_;
}

std::optional<std::string> BinHexEncode(std::string_view fileName, std::string_view data) {
  BinHexWriter writer;
  std::string out;
  if (!writer.Begin(fileName, data.size(), out)) return std::nullopt;
  writer.Feed(data, out);
  writer.Finish(out);
  return out;
}

}  // namespace zorvik::mail
