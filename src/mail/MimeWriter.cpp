#include "mail/MimeWriter.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "mail/BodyEncoder.h"
#include "mail/MailHeaders.h"

namespace zorvik::mail {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

bool IsMultipart(const MimePart& p) {
  if (p.contentType.empty()) return !p.children.empty();
  return Lower(Trimmed(p.contentType)) == "multipart";
}

// The value of a "boundary" parameter in a parameter list, unquoted.
std::optional<std::string> BoundaryParameter(std::string_view params) {
  const std::string lower = Lower(params);
  std::size_t pos = 0;
  while ((pos = lower.find("boundary", pos)) != std::string::npos) {
    const bool startOk = pos == 0 || lower[pos - 1] == ';' || lower[pos - 1] == ' ' ||
                         lower[pos - 1] == '\t';
    std::size_t eq = pos + 8;
    while (eq < lower.size() && (lower[eq] == ' ' || lower[eq] == '\t')) ++eq;
    if (!startOk || eq >= lower.size() || lower[eq] != '=') {
      pos += 8;
      continue;
    }
    std::size_t v = eq + 1;
    while (v < params.size() && (params[v] == ' ' || params[v] == '\t')) ++v;
    if (v < params.size() && params[v] == '"') {
      const std::size_t close = params.find('"', v + 1);
      if (close == std::string_view::npos) return std::string(params.substr(v + 1));
      return std::string(params.substr(v + 1, close - v - 1));
    }
    std::size_t end = params.find(';', v);
    if (end == std::string_view::npos) end = params.size();
    return Trimmed(params.substr(v, end - v));
  }
  return std::nullopt;
}

// RFC 2046: 1 to 70 characters of a fixed set, not ending in a space.
bool IsValidBoundary(std::string_view b) {
  if (b.empty() || b.size() > 70 || b.back() == ' ') return false;
  for (unsigned char c : b) {
    if (std::isalnum(c)) continue;
    if (std::string_view("'()+_,-./:=? ").find(static_cast<char>(c)) == std::string_view::npos)
      return false;
  }
  return true;
}

bool PartValuesSafe(const MimePart& p) {
  for (const std::string* v : {&p.contentType, &p.contentSubtype, &p.contentParameters,
                               &p.boundary, &p.transferEncoding, &p.contentDisposition}) {
    if (HasLineBreak(*v)) return false;
  }
  for (const auto& c : p.children)
    if (!PartValuesSafe(*c)) return false;
  return true;
}

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  MailStatus Part(const MimePart& p) {
    const bool multipart = IsMultipart(p);
    if (!multipart && !p.children.empty()) return MailStatus::Error(kErrInvalidEntry);
    const std::string body = p.Body();

    std::string type = Trimmed(p.contentType);
    std::string subtype = Trimmed(p.contentSubtype);
    if (type.empty()) type = multipart ? "multipart" : "text";
    const std::string lowerType = Lower(type);
    if (subtype.empty()) {
      subtype = lowerType == "multipart" ? "mixed" : lowerType == "text" ? "plain" : "octet-stream";
    }
    std::string params = Trimmed(p.contentParameters);
    std::string boundary;
    if (multipart) {
      boundary = EffectiveBoundary(p);
      if (boundary.empty()) boundary = "=_zorvik_part_" + std::to_string(++generated_);
      if (!IsValidBoundary(boundary)) return MailStatus::Error(kErrInvalidEntry);
      if (!BoundaryParameter(params))
        params += std::string(params.empty() ? "" : "; ") + "boundary=\"" + boundary + "\"";
    } else if (lowerType == "text" && params.empty()) {
      params = IsSevenBitSafe(ToCrlf(body)) ? "charset=us-ascii" : "charset=utf-8";
    }
    std::string contentType = type + "/" + subtype;
    if (!params.empty()) contentType += "; " + params;
    out_ += HeaderLine("Content-Type", contentType);

    std::string encodingName = Trimmed(p.transferEncoding);
    const auto coding = ParseTransferEncoding(encodingName);
    if (!coding) return MailStatus::Error(kErrInvalidEntry);
    TransferCoding use = *coding;
    if (multipart) {
      // A multipart body is never encoded as a whole: only the identity
      // encodings may be named on it.
      use = TransferCoding::Identity;
      if (*coding != TransferCoding::Identity) encodingName.clear();
    } else if (encodingName.empty() && !IsSevenBitSafe(ToCrlf(body))) {
      // Nothing chosen and the body cannot travel as it is.
      use = lowerType == "text" ? TransferCoding::QuotedPrintable : TransferCoding::Base64;
      encodingName = use == TransferCoding::QuotedPrintable ? "quoted-printable" : "base64";
    }
    if (!encodingName.empty()) out_ += HeaderLine("Content-Transfer-Encoding", encodingName);
    if (!Trimmed(p.contentDisposition).empty())
      out_ += HeaderLine("Content-Disposition", Trimmed(p.contentDisposition));
    out_ += "\r\n";

    if (!multipart) {
      const auto encoded = EncodeBody(use, body, lowerType == "text", p.fileName);
      if (!encoded) return MailStatus::Error(kErrInvalidEntry);
      out_ += *encoded;
      return MailStatus::Ok();
    }
    // The part's own body is the preamble, before the first delimiter.
    if (!body.empty()) {
      out_ += ToCrlf(body);
      if (out_.back() != '\n') out_ += "\r\n";
    }
    for (const auto& child : p.children) {
      // The CRLF before a delimiter belongs to the delimiter, so a body that
      // ends in a line break keeps it.
      if (out_.size() >= 2 && out_.compare(out_.size() - 2, 2, "\r\n") != 0) out_ += "\r\n";
      out_ += "--" + boundary + "\r\n";
      if (MailStatus s = Part(*child); !s.ok()) return s;
      out_ += "\r\n";
    }
    if (out_.size() >= 2 && out_.compare(out_.size() - 2, 2, "\r\n") != 0) out_ += "\r\n";
    out_ += "--" + boundary + "--\r\n";
    return MailStatus::Ok();
  }

 private:
  std::string& out_;
  int generated_ = 0;
};

}  // namespace

std::string EffectiveBoundary(const MimePart& part) {
  if (auto fromParams = BoundaryParameter(part.contentParameters)) return *fromParams;
  return Trimmed(part.boundary);
}

MailStatus WriteMessage(const MessageHeaders& h, const MimePart& root, std::string& out) {
  out.clear();
  for (const std::string* v : {&h.from, &h.to, &h.cc, &h.subject, &h.date, &h.messageId}) {
    if (HasLineBreak(*v)) return MailStatus::Error(kErrInvalidEntry);
  }
  if (!PartValuesSafe(root)) return MailStatus::Error(kErrInvalidEntry);

  if (!h.from.empty()) out += HeaderLine("From", FormatAddressList(h.from));
  if (!SplitAddressList(h.to).empty()) out += HeaderLine("To", FormatAddressList(h.to));
  if (!SplitAddressList(h.cc).empty()) out += HeaderLine("Cc", FormatAddressList(h.cc));
  out += HeaderLine("Subject", EncodeUnstructured(h.subject));
  if (!h.date.empty()) out += HeaderLine("Date", h.date);
  if (!h.messageId.empty()) out += HeaderLine("Message-ID", h.messageId);
  out += "MIME-Version: 1.0\r\n";
  MailStatus s = Writer(out).Part(root);
  if (!s.ok()) {
    out.clear();
    return s;
  }
  if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
  return s;
}

}  // namespace zorvik::mail
