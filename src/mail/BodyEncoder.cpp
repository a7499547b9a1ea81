#include "mail/BodyEncoder.h"

#include <vmime/vmime.hpp>

#include <algorithm>
#include <cctype>

#include "mail/MailHeaders.h"

namespace zorvik::mail {
namespace {

constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kBase64LineBytes = 57;  // 76 characters
constexpr std::size_t kUuLineBytes = 45;      // 60 characters after the length
// Quoted-printable is encoded in units of this many input bytes, cut after
// the unit's last line break when it has one.
constexpr std::size_t kQpUnit = 64 * 1024;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Uuencode and BinHex carry a name inside the body: keep it to one line.
std::string SafeFileName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) out += (c < 0x20 || c == 0x7F) ? '_' : static_cast<char>(c);
  return out.empty() ? std::string("file") : out;
}

void Base64Group(const unsigned char* in, std::size_t n, std::string& out) {
  const unsigned v = (in[0] << 16) | (n > 1 ? in[1] << 8 : 0) | (n > 2 ? in[2] : 0);
  out += kBase64[(v >> 18) & 63];
  out += kBase64[(v >> 12) & 63];
  out += n > 1 ? kBase64[(v >> 6) & 63] : '=';
  out += n > 2 ? kBase64[v & 63] : '=';
}

char UuChar(unsigned v) { return v == 0 ? '`' : static_cast<char>(v + 32); }

void UuLine(const unsigned char* in, std::size_t n, std::string& out) {
  out += UuChar(static_cast<unsigned>(n));
  for (std::size_t i = 0; i < n; i += 3) {
    const unsigned v =
        (in[i] << 16) | (i + 1 < n ? in[i + 1] << 8 : 0) | (i + 2 < n ? in[i + 2] : 0);
    for (int shift = 18; shift >= 0; shift -= 6) out += UuChar((v >> shift) & 63);
  }
  out += "\r\n";
}

}  // namespace

std::optional<TransferCoding> ParseTransferEncoding(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  if (name.empty() || EqualsNoCase(name, "7bit") || EqualsNoCase(name, "8bit") ||
      EqualsNoCase(name, "binary"))
    return TransferCoding::Identity;
  if (EqualsNoCase(name, "base64")) return TransferCoding::Base64;
  if (EqualsNoCase(name, "quoted-printable")) return TransferCoding::QuotedPrintable;
  if (EqualsNoCase(name, "x-uuencode") || EqualsNoCase(name, "uuencode") ||
      EqualsNoCase(name, "x-uue"))
    return TransferCoding::UUEncode;
  if (EqualsNoCase(name, "mac-binhex40") || EqualsNoCase(name, "x-binhex40"))
    return TransferCoding::BinHex;
  return std::nullopt;
}

BodyEncoderStream::BodyEncoderStream(TransferCoding coding, bool textMode,
                                     std::string_view fileName, std::uint64_t size)
    : coding_(coding), textMode_(textMode), fileName_(SafeFileName(fileName)), size_(size) {}

bool BodyEncoderStream::Feed(std::string_view piece, std::string& out) {
  try {
    switch (coding_) {
      case TransferCoding::Identity:
        Crlf(piece, out);
        return true;
      case TransferCoding::Base64:
        Base64(piece, out, false);
        return true;
      case TransferCoding::UUEncode:
        Uuencode(piece, out, false);
        return true;
      case TransferCoding::BinHex:
        if (!started_ && !binhex_.Begin(fileName_, size_, out)) return false;
        started_ = true;
        binhex_.Feed(piece, out);
        return true;
      case TransferCoding::QuotedPrintable:
        if (textMode_) Crlf(piece, carry_);
        else carry_.append(piece);
        return QuotedPrintable(out, false);
    }
  } catch (const std::exception&) {
  }
  return false;
}

bool BodyEncoderStream::Finish(std::string& out) {
  try {
    switch (coding_) {
      case TransferCoding::Identity:
        if (pendingCr_) out += "\r\n";
        pendingCr_ = false;
        return true;
      case TransferCoding::Base64:
        Base64({}, out, true);
        return true;
      case TransferCoding::UUEncode:
        Uuencode({}, out, true);
        return true;
      case TransferCoding::BinHex:
        if (!started_ && !binhex_.Begin(fileName_, size_, out)) return false;
        started_ = true;
        binhex_.Finish(out);
        return true;
      case TransferCoding::QuotedPrintable:
        if (pendingCr_) carry_ += "\r\n";
        pendingCr_ = false;
        return QuotedPrintable(out, true);
    }
  } catch (const std::exception&) {
  }
  return false;
}

void BodyEncoderStream::Crlf(std::string_view piece, std::string& out) {
  std::size_t pos = 0;
  if (pendingCr_ && !piece.empty()) {
    out += "\r\n";
    pendingCr_ = false;
    if (piece.front() == '\n') pos = 1;
  }
  while (pos < piece.size()) {
    const std::size_t brk = piece.find_first_of("\r\n", pos);
    if (brk == std::string_view::npos) {
      out.append(piece.substr(pos));
      return;
    }
    out.append(piece.substr(pos, brk - pos));
    pos = brk + 1;
    if (piece[brk] == '\n') {
      out += "\r\n";
    } else if (pos == piece.size()) {
      pendingCr_ = true;  // its LF may open the next piece
    } else {
      out += "\r\n";
      if (piece[pos] == '\n') ++pos;
    }
  }
}

void BodyEncoderStream::Base64(std::string_view piece, std::string& out, bool last) {
  auto line = [&](const unsigned char* in, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 3) Base64Group(in + i, std::min<std::size_t>(3, n - i), out);
    out += "\r\n";
  };
  if (!carry_.empty()) {
    const std::size_t take = std::min(piece.size(), kBase64LineBytes - carry_.size());
    carry_.append(piece.substr(0, take));
    piece.remove_prefix(take);
    if (carry_.size() == kBase64LineBytes) {
      line(reinterpret_cast<const unsigned char*>(carry_.data()), kBase64LineBytes);
      carry_.clear();
    }
  }
  while (piece.size() >= kBase64LineBytes) {
    line(reinterpret_cast<const unsigned char*>(piece.data()), kBase64LineBytes);
    piece.remove_prefix(kBase64LineBytes);
  }
  carry_.append(piece);
  if (last && !carry_.empty()) {
    line(reinterpret_cast<const unsigned char*>(carry_.data()), carry_.size());
    carry_.clear();
  }
}

void BodyEncoderStream::Uuencode(std::string_view piece, std::string& out, bool last) {
  if (!started_) out += "begin 644 " + fileName_ + "\r\n";
  started_ = true;
  carry_.append(piece);
  std::size_t pos = 0;
  for (; carry_.size() - pos >= kUuLineBytes; pos += kUuLineBytes)
    UuLine(reinterpret_cast<const unsigned char*>(carry_.data()) + pos, kUuLineBytes, out);
  carry_.erase(0, pos);
  if (!last) return;
  if (!carry_.empty())
    UuLine(reinterpret_cast<const unsigned char*>(carry_.data()), carry_.size(), out);
  carry_.clear();
  // A zero-length line before "end": decoders that count on it would
  // otherwise read "end" as data.
  out += "`\r\nend\r\n";
}

bool BodyEncoderStream::QuotedPrintable(std::string& out, bool last) {
  while (carry_.size() >= kQpUnit || (last && !carry_.empty())) {
    std::size_t cut = std::min(carry_.size(), kQpUnit);
    if (cut < carry_.size()) {
      const std::size_t lineEnd = textMode_ ? carry_.rfind("\r\n", cut - 2) : std::string::npos;
      if (lineEnd != std::string::npos) cut = lineEnd + 2;
      else if (carry_[cut - 1] == '\r') --cut;  // keep CR and LF together
    }
    auto encoder = vmime::utility::encoder::encoderFactory::getInstance()->create("quoted-printable");
    auto& props = encoder->getProperties();
    props["maxlinelength"] = 76;
    props["text"] = textMode_;
    const std::string in = carry_.substr(0, cut);
    std::string encoded;
    vmime::utility::inputStreamStringAdapter input(in);
    vmime::utility::outputStreamStringAdapter output(encoded);
    encoder->encode(input, output);
    out += ToCrlf(encoded);
    // A soft line break ends a unit whose last line has no break of its
    // own, so that decoding adds none.
    if (!out.empty() && out.back() != '\n') out += "=\r\n";
    carry_.erase(0, cut);
  }
  return true;
}

std::optional<std::string> EncodeBody(TransferCoding coding, std::string_view body, bool textMode,
                                      std::string_view fileName) {
  BodyEncoderStream encoder(coding, textMode, fileName, body.size());
  std::string out;
  if (!encoder.Feed(body, out) || !encoder.Finish(out)) return std::nullopt;
  return out;
}

}  // namespace zorvik::mail
