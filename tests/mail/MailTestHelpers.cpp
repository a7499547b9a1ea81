#include "MailTestHelpers.h"

#include <vmime/contentTypeField.hpp>
#include <vmime/vmime.hpp>

#include <functional>

namespace zorvik::mail::test {
namespace {

// CRC-16/CCITT, bit by bit with the augmented message (the way the format
// defines it): feed the bytes and then two zero bytes.
std::uint16_t AugmentedCrc(const std::string& bytes) {
  std::uint32_t crc = 0;
  auto feed = [&](unsigned char b) {
    for (int i = 7; i >= 0; --i) {
      const bool top = crc & 0x8000;
      crc = ((crc << 1) | ((b >> i) & 1)) & 0xFFFF;
      if (top) crc ^= 0x1021;
    }
  };
  for (unsigned char b : bytes) feed(b);
  feed(0);
  feed(0);
  return static_cast<std::uint16_t>(crc);
}

// Standard uudecoding (VMime 0.9.2's own decoder gets the last partial
// group wrong, so it cannot judge our encoder).
std::string UuDecode(const std::string& text) {
  std::string out;
  std::size_t pos = text.find("begin ");
  if (pos == std::string::npos) return out;
  pos = text.find('\n', pos);
  while (pos != std::string::npos && pos + 1 < text.size()) {
    const std::size_t start = pos + 1;
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end;
    if (line == "end" || line.empty()) break;
    auto val = [](char c) { return (c - ' ') & 0x3F; };
    const int n = val(line[0]);
    if (n == 0) continue;
    std::string bytes;
    for (std::size_t i = 1; i + 3 < line.size() + 3 && bytes.size() < static_cast<std::size_t>(n);
         i += 4) {
      auto at = [&](std::size_t k) { return k < line.size() ? val(line[k]) : 0; };
      const int a = at(i), b = at(i + 1), c = at(i + 2), d = at(i + 3);
      bytes.push_back(static_cast<char>((a << 2) | (b >> 4)));
      bytes.push_back(static_cast<char>(((b & 0xF) << 4) | (c >> 2)));
      bytes.push_back(static_cast<char>(((c & 0x3) << 6) | d));
    }
    bytes.resize(static_cast<std::size_t>(n));
    out += bytes;
  }
  return out;
}

}  // namespace

std::optional<BinHexFile> DecodeBinHex(const std::string& text) {
  static const std::string alphabet =
      "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
  const std::size_t intro = text.find("(This file must be converted with BinHex 4.0)");
  if (intro == std::string::npos) return std::nullopt;
  const std::size_t open = text.find(':', intro);
  if (open == std::string::npos) return std::nullopt;
  const std::size_t close = text.find(':', open + 1);
  if (close == std::string::npos) return std::nullopt;
  // Six-bit characters to bytes, skipping line breaks.
  std::string packed;
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = open + 1; i < close; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') continue;
    const std::size_t v = alphabet.find(c);
    if (v == std::string::npos) return std::nullopt;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      packed.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  // Run-length decoding.
  std::string raw;
  for (std::size_t i = 0; i < packed.size(); ++i) {
    const auto c = static_cast<unsigned char>(packed[i]);
    if (c != 0x90) {
      raw.push_back(static_cast<char>(c));
      continue;
    }
    if (++i >= packed.size()) return std::nullopt;
    const auto count = static_cast<unsigned char>(packed[i]);
    if (count == 0) {
      raw.push_back(static_cast<char>(0x90));
    } else {
      if (raw.empty()) return std::nullopt;
      const char last = raw.back();
      raw.append(count - 1, last);
    }
  }
  auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(raw[at]) << 8) |
                                      static_cast<unsigned char>(raw[at + 1]));
  };
  auto u32 = [&](std::size_t at) {
    return (static_cast<std::uint32_t>(u16(at)) << 16) | u16(at + 2);
  };
  if (raw.empty()) return std::nullopt;
  const std::size_t nameLen = static_cast<unsigned char>(raw[0]);
  const std::size_t headerLen = 1 + nameLen + 1 + 4 + 4 + 2 + 4 + 4;
  if (raw.size() < headerLen + 2) return std::nullopt;
  BinHexFile f;
  f.name = raw.substr(1, nameLen);
  const std::uint32_t dataLen = u32(1 + nameLen + 11);
  const std::uint32_t rsrcLen = u32(1 + nameLen + 15);
  const std::size_t dataAt = headerLen + 2;
  if (raw.size() != dataAt + dataLen + 2 + rsrcLen + 2) return std::nullopt;
  f.data = raw.substr(dataAt, dataLen);
  f.resource = raw.substr(dataAt + dataLen + 2, rsrcLen);
  f.crcOk = u16(headerLen) == AugmentedCrc(raw.substr(0, headerLen)) &&
            u16(dataAt + dataLen) == AugmentedCrc(f.data) &&
            u16(dataAt + dataLen + 2 + rsrcLen) == AugmentedCrc(f.resource);
  return f;
}

ParsedMessage ParseWithVmime(const std::string& bytes) {
  ParsedMessage out;
  const std::size_t end = bytes.find("\r\n\r\n");
  out.headerBlock = bytes.substr(0, end == std::string::npos ? bytes.size() : end + 2);
  vmime::message msg;
  msg.parse(bytes);
  const auto header = msg.getHeader();
  if (header->hasField(vmime::fields::SUBJECT)) {
    out.subject = header->Subject()->getValue<vmime::text>()->getConvertedText(
        vmime::charset(vmime::charsets::UTF_8));
  }
  const auto ct = header->findField<vmime::contentTypeField>(vmime::fields::CONTENT_TYPE);
  if (ct) {
    out.contentType = ct->getValue<vmime::mediaType>()->generate();
    if (ct->hasBoundary()) out.boundary = ct->getBoundary();
  }
  std::function<void(const vmime::bodyPart&)> walk = [&](const vmime::bodyPart& part) {
    const auto body = part.getBody();
    if (body->getPartCount() > 0) {
      for (std::size_t i = 0; i < body->getPartCount(); ++i) walk(*body->getPartAt(i));
      return;
    }
    ParsedPart p;
    const auto h = part.getHeader();
    if (const auto f = h->findField(vmime::fields::CONTENT_TYPE))
      p.type = f->getValue<vmime::mediaType>()->generate();
    if (const auto f = h->findField(vmime::fields::CONTENT_TRANSFER_ENCODING))
      p.encoding = f->getValue()->generate();
    if (const auto f = h->findField(vmime::fields::CONTENT_DISPOSITION))
      p.disposition = f->getValue()->generate();
    const auto content = body->getContents();
    vmime::utility::outputStreamStringAdapter raw(p.rawBody);
    content->extractRaw(raw);
    if (p.encoding == "mac-binhex40") {
      p.body = p.rawBody;
    } else if (p.encoding == "x-uuencode") {
      p.body = UuDecode(p.rawBody);
    } else {
      vmime::utility::outputStreamStringAdapter decoded(p.body);
      content->extract(decoded);
    }
    out.leaves.push_back(std::move(p));
  };
  walk(msg);
  return out;
}

}  // namespace zorvik::mail::test
