#pragma once
// The MIME message held by the mail component: a tree of parts with one
// current part. Part 0 is the root (the message itself); the other parts are
// numbered in document order (depth first, parents before children). Parts
// nest at most kMaxDepth levels below the root.

#include <memory>
#include <string>
#include <vector>

#include "mail/MailErrors.h"

namespace zorvik::mail {

struct MimePart {
  std::string contentType;        // "multipart", "text", "application", ...
  std::string contentSubtype;     // "mixed", "plain", "octet-stream", ...
  std::string contentParameters;  // written after the type as given: "boundary=1_boundary"
  std::string boundary;           // delimiter of a multipart part's children
  std::string transferEncoding;   // "base64", "quoted-printable", "7bit", ...
  std::string contentDisposition; // "attachment; filename=\"a.zip\""
  // The body in pieces (PartBody is indexed); the body is their concatenation.
  std::vector<std::string> body;
  // Bare name of the file last loaded into the part (used by uuencode and
  // BinHex, which carry a file name inside the encoding).
  std::string fileName;

  MimePart* parent = nullptr;
  std::vector<std::unique_ptr<MimePart>> children;

  std::string Body() const;
};

class PartTree {
 public:
  static constexpr int kMaxDepth = 100;

  PartTree();

  // Forgets every part: a single empty root, which is current.
  void Clear();

  MimePart& Root() { return *root_; }
  const MimePart& Root() const { return *root_; }
  MimePart& Current() { return *current_; }
  const MimePart& Current() const { return *current_; }

  // Number of parts below the root.
  int PartCount() const;
  // Document-order number of the current part (0 = root).
  int PartIndex() const;
  // Makes the part with that number current.
  MailStatus SetPartIndex(int index);

  // Appends an empty child to the current part; the current part stays.
  // kErrCannotDescend when the child would lie deeper than kMaxDepth.
  MailStatus AppendChild();
  // Makes the enclosing part current.
  MailStatus Ascend();
  // Makes the newest child of the current part current.
  MailStatus Descend();

  // Body pieces of the current part. Reading past the end gives "".
  std::string PartBody(int index) const;
  // Sets one piece; pieces between the end and `index` are made empty.
  MailStatus SetPartBody(int index, std::string text);

 private:
  std::unique_ptr<MimePart> root_;
  MimePart* current_ = nullptr;
};

}  // namespace zorvik::mail
