#pragma once
// Transfer encodings of a part body: base64, uuencode and BinHex 4.0 of our
// own, quoted-printable through VMime's encoder, and the identity encodings
// (7bit, 8bit, binary) with CRLF line ends. A body is encoded in pieces, so
// that a large one is never held encoded whole.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mail/BinHex.h"

namespace zorvik::mail {

enum class TransferCoding { Identity, Base64, QuotedPrintable, UUEncode, BinHex };

// The coding named by a Content-Transfer-Encoding value (case ignored);
// nothing for a name this system cannot write.
std::optional<TransferCoding> ParseTransferEncoding(std::string_view name);

// Encodes one body fed in pieces of any size; the output does not depend on
// where the pieces are cut. Every line of the output ends with CRLF.
class BodyEncoderStream {
 public:
  // `textMode` (text parts) makes quoted-printable keep the line breaks as
  // line breaks. `fileName` is the name carried inside uuencode and BinHex;
  // `size` is the whole body's length (BinHex writes it first).
  BodyEncoderStream(TransferCoding coding, bool textMode, std::string_view fileName,
                    std::uint64_t size);

  // Encode the next piece / the end, appending to `out`. False when the
  // encoder fails (then the output is unusable).
  bool Feed(std::string_view piece, std::string& out);
  bool Finish(std::string& out);

 private:
  void Crlf(std::string_view piece, std::string& out);
  void Base64(std::string_view piece, std::string& out, bool last);
  void Uuencode(std::string_view piece, std::string& out, bool last);
  bool QuotedPrintable(std::string& out, bool last);

  TransferCoding coding_;
  bool textMode_;
  std::string fileName_;
  std::uint64_t size_;
  bool started_ = false;
  bool pendingCr_ = false;  // identity and text: a CR whose LF may come next
  std::string carry_;       // input held back until a whole line or group
  BinHexWriter binhex_;
};

// The whole encoded body; nothing when the encoder fails.
std::optional<std::string> EncodeBody(TransferCoding coding, std::string_view body, bool textMode,
                                      std::string_view fileName);

}  // namespace zorvik::mail
