#include "mail/BodyEncoder.h"

#include <vmime/vmime.hpp>

#include <algorithm>
#include <cctype>

#include "mail/BinHex.h"
#include "mail/MailHeaders.h"

namespace zorvik::mail {
namespace {

constexpr int kMaxLineLength = 76;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string RunVmimeEncoder(const std::string& name, std::string_view body, bool textMode,
                            std::string_view fileName) {
  auto encoder = vmime::utility::encoder::encoderFactory::getInstance()->create(name);
  auto& props = encoder->getProperties();
  props["maxlinelength"] = kMaxLineLength;
  if (name == "quoted-printable") props["text"] = textMode;
  if (name == "uuencode") {
    props["filename"] = std::string(fileName);
    props["mode"] = std::string("644");
  }
  const std::string in(body);
  std::string out;
  vmime::utility::inputStreamStringAdapter input(in);
  vmime::utility::outputStreamStringAdapter output(out);
  encoder->encode(input, output);
  return out;
}

// A uuencoded body ends with a zero-length line ("`") before "end"; decoders
// that count on it would otherwise read "end" as data.
std::string WithUuTerminator(std::string text) {
  constexpr std::string_view kEnd = "end\r\n";
  if (text.size() < kEnd.size() + 2 || text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
    return text;
  const std::size_t endPos = text.size() - kEnd.size();  // start of "end"
  const std::size_t prevEnd = endPos - 2;                 // the CRLF before it
  const std::size_t prevBreak = prevEnd == 0 ? std::string::npos : text.rfind("\r\n", prevEnd - 1);
  const std::size_t lineStart = prevBreak == std::string::npos ? 0 : prevBreak + 2;
  const std::string_view last(text.data() + lineStart, prevEnd - lineStart);
  if (last != "`" && last != " ") text.insert(endPos, "`\r\n");
  return text;
}

// Uuencode and BinHex carry a name inside the body: keep it to one line.
std::string SafeFileName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) out += (c < 0x20 || c == 0x7F) ? '_' : static_cast<char>(c);
  return out.empty() ? std::string("file") : out;
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

bool IsSevenBitSafe(std::string_view bytes) {
  std::size_t lineLength = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == 0 || c >= 0x80) return false;
    if (c == '\r') {
      if (i + 1 >= bytes.size() || bytes[i + 1] != '\n') return false;
      ++i;
      lineLength = 0;
      continue;
    }
    if (c == '\n') return false;
    if (++lineLength > 998) return false;
  }
  return true;
}

std::optional<std::string> EncodeBody(TransferCoding coding, std::string_view body, bool textMode,
                                      std::string_view fileName) {
  try {
    switch (coding) {
      case TransferCoding::Identity:
        return ToCrlf(body);
      case TransferCoding::Base64: {
        std::string out = RunVmimeEncoder("base64", body, false, {});
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        return out;
      }
      case TransferCoding::QuotedPrintable: {
        // Text is canonical with CRLF line ends before it is encoded, so that
        // every line break of the text stays a line break of the encoding.
        const std::string input = textMode ? ToCrlf(body) : std::string(body);
        std::string out = ToCrlf(RunVmimeEncoder("quoted-printable", input, textMode, {}));
        // A soft line break ends a body whose last line has no break of its
        // own, so that decoding adds none.
        if (!out.empty() && out.back() != '\n') out += "=\r\n";
        return out;
      }
      case TransferCoding::UUEncode:
        return WithUuTerminator(
            ToCrlf(RunVmimeEncoder("uuencode", body, false, SafeFileName(fileName))));
      case TransferCoding::BinHex:
        return BinHexEncode(SafeFileName(fileName), body);
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace zorvik::mail
