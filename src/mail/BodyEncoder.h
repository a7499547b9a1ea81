#pragma once
// Transfer encodings of a part body: base64, quoted-printable and uuencode
// through VMime's encoders, BinHex 4.0 of our own, and the identity
// encodings (7bit, 8bit, binary) with CRLF line ends.

#include <optional>
#include <string>
#include <string_view>

namespace zorvik::mail {

enum class TransferCoding { Identity, Base64, QuotedPrintable, UUEncode, BinHex };

// The coding named by a Content-Transfer-Encoding value (case ignored);
// nothing for a name this system cannot write.
std::optional<TransferCoding> ParseTransferEncoding(std::string_view name);

// True when the bytes can travel as "7bit": ASCII without NUL, no bare CR or
// LF, no line longer than 998 characters.
bool IsSevenBitSafe(std::string_view bytes);

// The encoded body, every line ended by CRLF. `textMode` (text/* parts) makes
// quoted-printable keep the line breaks as line breaks. `fileName` is the name
// carried inside uuencode and BinHex. Nothing when the encoder fails.
std::optional<std::string> EncodeBody(TransferCoding coding, std::string_view body, bool textMode,
                                      std::string_view fileName);

}  // namespace zorvik::mail
