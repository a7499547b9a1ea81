#include "mail/MimeWriter.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/Text.h"

#include "mail/BodyEncoder.h"
#include "mail/MailHeaders.h"
#include "mail/MimeBoundary.h"

namespace zorvik::mail {
namespace {

// Bodies are read and encoded in units of this many bytes.
constexpr std::size_t kUnit = 256 * 1024;

bool IsMultipart(const MimePart& p) {
  if (p.contentType.empty()) return !p.children.empty();
  return text::LCase(text::TrimWhiteSpace(p.contentType)) == "multipart";
}

bool HasLineBreakIn(const MimePart& p) {
  for (const std::string* v : {&p.contentType, &p.contentSubtype, &p.contentParameters,
                               &p.boundary, &p.transferEncoding, &p.contentDisposition}) {
    if (HasLineBreak(*v)) return true;
  }
  return false;
}

// What the bytes of a body allow once its line breaks (CR, LF or CRLF) are
// written as CRLF.
struct Safety {
  bool sevenBit = true;
  bool eightBit = true;  // no NUL, no line over 998 characters
  std::size_t line = 0;

  void Feed(std::string_view bytes) {
    for (unsigned char c : bytes) {
      if (c == '\n' || c == '\r') {
        line = 0;
        continue;
      }
      if (c == 0) sevenBit = eightBit = false;
      if (c >= 0x80) sevenBit = false;
      if (++line > 998) sevenBit = eightBit = false;
    }
  }
};

}  // namespace

struct MessageWriter::Impl {
  // One part, in document order.
  struct Node {
    const MimePart* part = nullptr;
    int parent = -1;
    std::vector<int> children;
    bool multipart = false;
    std::string type, subtype, lowerType, params, encodingName, disposition;
    TransferCoding coding = TransferCoding::Identity;
    bool textMode = false;
    std::uint64_t rawSize = 0;
    // Learned by the preparation.
    Safety safety;
    std::uint64_t encodedSize = 0;
    bool endsWithCrlf = true;
    // Multipart parts: the boundary to write, whether a line inside the
    // part starts with it, and the numbers of "--N_boundary" lines inside.
    std::string boundary;
    bool boundaryTaken = false;
    std::unordered_set<std::string> numbersInside;
  };
  // A piece of the layout: text, or the encoded body of a node.
  struct Segment {
    std::string text;
    int body = -1;
  };

  MailStatus status;
  std::string headerBlock;
  std::vector<Node> nodes;
  std::uint64_t size = 0;

  // Preparation: which node's body, which pass, where in it.
  std::size_t task = 0;
  bool safetyPass = true;
  std::size_t piece = 0, offset = 0;
  std::unique_ptr<BodyEncoderStream> encoder;
  DelimiterScan scan;
  std::string scratch;
  bool prepared = false;

  // Production.
  std::vector<Segment> layout;
  std::size_t segment = 0, segmentOffset = 0;
  std::string pending;
  std::size_t pendingOffset = 0;
  bool bodyFinished = false;

  MailStatus Plan(const MessageHeaders& h, const MimePart& root);
  bool NeedsSafetyPass(const Node& n) const {
    return !n.multipart && (n.coding == TransferCoding::Identity ||
                            (n.lowerType == "text" && n.params.empty()));
  }
  bool NeedsEncodePass(const Node& n) const {
    return n.multipart || n.coding != TransferCoding::Base64;
  }
  void ChooseCoding(Node& n);
  // Reads the next unit of node `n`'s body; false at its end.
  bool NextUnit(const Node& n, std::string_view& unit);
  void NoteDelimiterLine(int owner, std::string_view line);
  bool PrepareStep();
  MailStatus ResolveBoundaries();
  std::string PartHeader(const Node& n) const;
  void Layout();
};

MailStatus MessageWriter::Impl::Plan(const MessageHeaders& h, const MimePart& root) {
  for (const std::string* v : {&h.from, &h.to, &h.cc, &h.subject, &h.date, &h.messageId}) {
    if (HasLineBreak(*v)) return MailStatus::Error(kErrInvalidEntry);
  }
  if (!h.from.empty()) headerBlock += HeaderLine("From", FormatAddressList(h.from));
  if (!SplitAddressList(h.to).empty()) headerBlock += HeaderLine("To", FormatAddressList(h.to));
  if (!SplitAddressList(h.cc).empty()) headerBlock += HeaderLine("Cc", FormatAddressList(h.cc));
  headerBlock += HeaderLine("Subject", EncodeUnstructured(h.subject));
  if (!h.date.empty()) headerBlock += HeaderLine("Date", h.date);
  if (!h.messageId.empty()) headerBlock += HeaderLine("Message-ID", h.messageId);
  headerBlock += "MIME-Version: 1.0\r\n";

  // Document order without recursion: a stack of (part, parent).
  std::vector<std::pair<const MimePart*, int>> stack{{&root, -1}};
  int generated = 0;
  while (!stack.empty()) {
    const auto [part, parent] = stack.back();
    stack.pop_back();
    if (HasLineBreakIn(*part)) return MailStatus::Error(kErrInvalidEntry);
    Node n;
    n.part = part;
    n.parent = parent;
    n.multipart = IsMultipart(*part);
    if (!n.multipart && !part->children.empty()) return MailStatus::Error(kErrInvalidEntry);
    n.type = text::TrimWhiteSpace(part->contentType);
    n.subtype = text::TrimWhiteSpace(part->contentSubtype);
    if (n.type.empty()) n.type = n.multipart ? "multipart" : "text";
    n.lowerType = text::LCase(n.type);
    if (n.subtype.empty())
      n.subtype = n.lowerType == "multipart" ? "mixed" : n.lowerType == "text" ? "plain" : "octet-stream";
    n.params = text::TrimWhiteSpace(part->contentParameters);
    n.encodingName = text::TrimWhiteSpace(part->transferEncoding);
    n.disposition = text::TrimWhiteSpace(part->contentDisposition);
    const auto coding = ParseTransferEncoding(n.encodingName);
    if (!coding) return MailStatus::Error(kErrInvalidEntry);
    n.coding = *coding;
    n.textMode = n.lowerType == "text";
    for (const auto& b : part->body) n.rawSize += b.size();
    if (n.multipart) {
      // A multipart body is never encoded as a whole: only the identity
      // encodings may be named on it.
      if (n.coding != TransferCoding::Identity) n.encodingName.clear();
      n.coding = TransferCoding::Identity;
      n.boundary = EffectiveBoundary(*part);
      // Made-up boundaries end in "_" so that none is the start of another.
      if (n.boundary.empty()) n.boundary = "=_zorvik_part_" + std::to_string(++generated) + "_";
      if (!IsValidBoundary(n.boundary)) return MailStatus::Error(kErrInvalidEntry);
    }
    const int index = static_cast<int>(nodes.size());
    if (parent >= 0) nodes[static_cast<std::size_t>(parent)].children.push_back(index);
    nodes.push_back(std::move(n));
    for (auto it = part->children.rbegin(); it != part->children.rend(); ++it)
      stack.emplace_back(it->get(), index);
  }
  return MailStatus::Ok();
}

void MessageWriter::Impl::ChooseCoding(Node& n) {
  if (n.multipart) return;
  const std::string label = text::LCase(n.encodingName);
  if ((label == "7bit" && !n.safety.sevenBit) || (label == "8bit" && !n.safety.eightBit)) {
    // Not what the label promises: quoted-printable keeps the lines.
    n.coding = TransferCoding::QuotedPrintable;
    n.textMode = true;
    n.encodingName = "quoted-printable";
  } else if (n.encodingName.empty() && !n.safety.sevenBit) {
    // Nothing chosen and the body cannot travel as it is.
    n.coding = n.textMode ? TransferCoding::QuotedPrintable : TransferCoding::Base64;
    n.encodingName = n.textMode ? "quoted-printable" : "base64";
  }
  if (n.lowerType == "text" && n.params.empty())
    n.params = n.safety.sevenBit ? "charset=us-ascii" : "charset=utf-8";
  if (n.coding == TransferCoding::Base64) {
    const std::uint64_t lines = n.rawSize / 57, rest = n.rawSize % 57;
    n.encodedSize = lines * 78 + (rest > 0 ? (rest + 2) / 3 * 4 + 2 : 0);
  }
}

bool MessageWriter::Impl::NextUnit(const Node& n, std::string_view& unit) {
  const auto& pieces = n.part->body;
  while (piece < pieces.size() && offset >= pieces[piece].size()) {
    ++piece;
    offset = 0;
  }
  if (piece >= pieces.size()) return false;
  unit = std::string_view(pieces[piece]).substr(offset, kUnit);
  offset += unit.size();
  return true;
}

void MessageWriter::Impl::NoteDelimiterLine(int owner, std::string_view line) {
  // The line lies inside the owner (a multipart's preamble) or inside every
  // multipart that encloses it.
  const std::string number = DrawnNumberOf(line);
  for (int m = owner; m >= 0; m = nodes[static_cast<std::size_t>(m)].parent) {
    Node& node = nodes[static_cast<std::size_t>(m)];
    if (!node.multipart) continue;
    if (line.substr(2).starts_with(node.boundary)) node.boundaryTaken = true;
    if (!number.empty()) node.numbersInside.insert(number);
  }
}

// One unit of the preparation; false when there is nothing left to do.
bool MessageWriter::Impl::PrepareStep() {
  while (task < nodes.size()) {
    Node& n = nodes[task];
    const bool wanted = safetyPass ? NeedsSafetyPass(n) : NeedsEncodePass(n);
    if (!wanted) {
      if (safetyPass) ChooseCoding(n);
      safetyPass = !safetyPass;
      if (safetyPass) ++task;
      continue;
    }
    if (!safetyPass && !encoder) {
      encoder = std::make_unique<BodyEncoderStream>(n.coding, n.textMode, n.part->fileName, n.rawSize);
      scan = DelimiterScan();
      n.encodedSize = 0;
    }
    std::string_view unit;
    const bool more = NextUnit(n, unit);
    scratch.clear();
    const int owner = n.multipart ? static_cast<int>(task) : n.parent;
    auto found = [&](std::string_view line) { NoteDelimiterLine(owner, line); };
    if (safetyPass) {
      n.safety.Feed(unit);
    } else {
      const bool ok = more ? encoder->Feed(unit, scratch) : encoder->Finish(scratch);
      if (!ok) {
        status = MailStatus::Error(kErrInvalidEntry);
        return false;
      }
      n.encodedSize += scratch.size();
      if (!scratch.empty()) n.endsWithCrlf = scratch.ends_with("\r\n");
      scan.Feed(scratch, found);
      if (!more) scan.Finish(found);
    }
    if (more) return true;
    // This pass over the body is done.
    if (safetyPass) ChooseCoding(n);
    encoder.reset();
    piece = offset = 0;
    safetyPass = !safetyPass;
    if (safetyPass) ++task;
    return true;
  }
  return false;
}

MailStatus MessageWriter::Impl::ResolveBoundaries() {
  // Outermost first: a part's delimiter lines lie inside every enclosing
  // multipart, so its boundary must not begin with theirs (as they stand
  // once settled).
  for (std::size_t m = 0; m < nodes.size(); ++m) {
    Node& node = nodes[m];
    if (!node.multipart) continue;
    auto clashes = [&](const std::string& b) {
      for (int a = node.parent; a >= 0; a = nodes[static_cast<std::size_t>(a)].parent)
        if (b.starts_with(nodes[static_cast<std::size_t>(a)].boundary)) return true;
      return false;
    };
    if (!node.boundaryTaken && !clashes(node.boundary)) continue;
    std::string drawn;
    for (int attempt = 0; attempt < 1000 && drawn.empty(); ++attempt) {
      std::string b = DrawBoundary();
      if (!node.numbersInside.count(b.substr(0, b.size() - kBoundarySuffix.size())) && !clashes(b))
        drawn = std::move(b);
    }
    if (drawn.empty()) return MailStatus::Error(kErrInvalidEntry);
    node.boundary = std::move(drawn);
    if (auto span = BoundaryValueSpan(node.params))
      node.params.replace(span->first, span->second - span->first, node.boundary);
  }
  return MailStatus::Ok();
}

std::string MessageWriter::Impl::PartHeader(const Node& n) const {
  std::string params = n.params;
  if (n.multipart && !BoundaryValueSpan(params))
    params += std::string(params.empty() ? "" : "; ") + "boundary=\"" + n.boundary + "\"";
  std::string contentType = n.type + "/" + n.subtype;
  if (!params.empty()) contentType += "; " + params;
  std::string out = HeaderLine("Content-Type", contentType);
  if (!n.encodingName.empty()) out += HeaderLine("Content-Transfer-Encoding", n.encodingName);
  if (!n.disposition.empty()) out += HeaderLine("Content-Disposition", n.disposition);
  return out + "\r\n";
}

void MessageWriter::Impl::Layout() {
  auto text = [&](std::string t) {
    if (!layout.empty() && layout.back().body < 0) layout.back().text += t;
    else layout.push_back({std::move(t), -1});
  };
  auto body = [&](int n) {
    if (nodes[static_cast<std::size_t>(n)].encodedSize > 0) layout.push_back({{}, n});
  };
  text(headerBlock);
  // Depth first without recursion: each frame is a node and its next child.
  std::vector<std::pair<int, std::size_t>> stack{{0, 0}};
  text(PartHeader(nodes[0]));
  if (!nodes[0].multipart) {
    body(0);
    if (nodes[0].encodedSize > 0 && !nodes[0].endsWithCrlf) text("\r\n");
    stack.clear();
  } else if (nodes[0].encodedSize > 0) {
    body(0);
    if (!nodes[0].endsWithCrlf) text("\r\n");
  }
  while (!stack.empty()) {
    auto& [index, next] = stack.back();
    const Node& n = nodes[static_cast<std::size_t>(index)];
    if (next == n.children.size()) {
      text("--" + n.boundary + "--\r\n");
      stack.pop_back();
      if (!stack.empty()) text("\r\n");
      continue;
    }
    const int child = n.children[next++];
    const Node& c = nodes[static_cast<std::size_t>(child)];
    text("--" + n.boundary + "\r\n" + PartHeader(c));
    if (c.encodedSize > 0) {
      body(child);
      if (c.multipart && !c.endsWithCrlf) text("\r\n");
    }
    // The CRLF before a delimiter belongs to the delimiter, so a body that
    // ends in a line break keeps it.
    if (c.multipart) stack.emplace_back(child, 0);
    else text("\r\n");
  }
  size = 0;
  for (const Segment& s : layout)
    size += s.body < 0 ? s.text.size() : nodes[static_cast<std::size_t>(s.body)].encodedSize;
}

MessageWriter::MessageWriter() : impl_(std::make_unique<Impl>()) {}
MessageWriter::~MessageWriter() = default;

MailStatus MessageWriter::Start(const MessageHeaders& headers, const MimePart& root) {
  impl_ = std::make_unique<Impl>();
  impl_->status = impl_->Plan(headers, root);
  if (!impl_->status.ok()) impl_->prepared = true;
  return impl_->status;
}

bool MessageWriter::Prepare(std::chrono::steady_clock::duration budget) {
  Impl& w = *impl_;
  if (w.prepared) return true;
  const auto until = std::chrono::steady_clock::now() + budget;
  while (w.PrepareStep()) {
    if (std::chrono::steady_clock::now() >= until) return false;
  }
  if (w.status.ok()) w.status = w.ResolveBoundaries();
  if (w.status.ok()) w.Layout();
  w.prepared = true;
  return true;
}

const MailStatus& MessageWriter::Status() const { return impl_->status; }

std::uint64_t MessageWriter::Size() const { return impl_->size; }

bool MessageWriter::Read(std::string& out, std::size_t max) {
  Impl& w = *impl_;
  if (!w.prepared || !w.status.ok()) return false;
  std::size_t given = 0;
  while (given < max && w.segment < w.layout.size()) {
    const Impl::Segment& s = w.layout[w.segment];
    if (s.body < 0) {
      const std::size_t n = std::min(max - given, s.text.size() - w.segmentOffset);
      out.append(s.text, w.segmentOffset, n);
      given += n;
      w.segmentOffset += n;
      if (w.segmentOffset == s.text.size()) {
        ++w.segment;
        w.segmentOffset = 0;
      }
      continue;
    }
    if (w.pendingOffset < w.pending.size()) {
      const std::size_t n = std::min(max - given, w.pending.size() - w.pendingOffset);
      out.append(w.pending, w.pendingOffset, n);
      given += n;
      w.pendingOffset += n;
      continue;
    }
    w.pending.clear();
    w.pendingOffset = 0;
    if (w.bodyFinished) {
      w.bodyFinished = false;
      w.encoder.reset();
      ++w.segment;
      continue;
    }
    const Impl::Node& n = w.nodes[static_cast<std::size_t>(s.body)];
    if (!w.encoder) {
      w.encoder = std::make_unique<BodyEncoderStream>(n.coding, n.textMode, n.part->fileName, n.rawSize);
      w.piece = w.offset = 0;
    }
    std::string_view unit;
    if (w.NextUnit(n, unit)) {
      w.encoder->Feed(unit, w.pending);
    } else {
      w.encoder->Finish(w.pending);
      w.bodyFinished = true;
    }
  }
  return given > 0;
}

MailStatus WriteMessage(const MessageHeaders& h, const MimePart& root, std::string& out) {
  out.clear();
  MessageWriter writer;
  if (MailStatus s = writer.Start(h, root); !s.ok()) return s;
  writer.Prepare(std::chrono::hours(24));
  if (!writer.Status().ok()) return writer.Status();
  out.reserve(writer.Size());
  while (writer.Read(out, 1 << 20)) {
  }
  return MailStatus::Ok();
}

}  // namespace zorvik::mail
