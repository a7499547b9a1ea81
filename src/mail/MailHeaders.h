#pragma once
// Header-line helpers for outgoing mail: address lists, RFC 2047 encoded
// words, folding, dates. Values come from callers and are untrusted: a value
// with a line break must be refused before it reaches these helpers.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik::mail {

// True when the value holds CR, LF or NUL (which would end or forge a header
// line or an SMTP command).
bool HasLineBreak(std::string_view value);

// The addresses of a list separated by commas or semicolons, trimmed; empty
// entries dropped. Separators inside double quotes, angle brackets or
// comments do not split.
std::vector<std::string> SplitAddressList(std::string_view list);

// The bare address of one entry: the text in angle brackets when there is
// one ("Ann <ann@x.org>" gives "ann@x.org"), else the trimmed entry.
std::string AddrSpec(std::string_view entry);

// The address an SMTP command (MAIL FROM, RCPT TO) may carry for one entry
// of an address list: the text in angle brackets when there is one
// ("Ann <ann@x.org>" gives "ann@x.org"; "<>" gives ""), else the whole
// trimmed entry. False when that address holds "<", ">", blanks or control
// characters, or text follows the closing bracket.
bool EnvelopeAddress(std::string_view entry, std::string& address);

// The entries of an address list joined by ", ", each display name with
// non-ASCII bytes written as an RFC 2047 encoded word.
std::string FormatAddressList(std::string_view list);

// An unstructured value (Subject) for a header line: kept as it is when it is
// printable ASCII, else a run of UTF-8 "B" encoded words separated by folding
// white space, each short enough for a 76-character line.
std::string EncodeUnstructured(std::string_view value);

// "Name: value" folded at existing white space to lines of about 78
// characters, ended by CRLF.
std::string HeaderLine(std::string_view name, std::string_view value);

// RFC 5322 date of a moment, in UTC: "Sun, 06 Dec 2026 16:48:39 +0000".
std::string FormatMailDate(std::chrono::system_clock::time_point when);

// Line ends made CRLF (lone CR and lone LF each become CRLF).
std::string ToCrlf(std::string_view text);

}  // namespace zorvik::mail
