#pragma once
// Serialises the message held by the component: the RFC 5322 header block
// and the MIME part tree, with CRLF line ends throughout. Bcc is never
// written. Values from callers are checked first: a line break in any header
// value, an unknown transfer encoding, children under a part that is not
// multipart or an unusable boundary refuse the whole message with
// kErrInvalidEntry.
//
// What is written is always valid MIME:
//  - a part labelled "7bit" (or "8bit") whose body breaks that label's rules
//    (bytes above 127, NUL, lines longer than 998 characters) is written as
//    quoted-printable, and its header says so;
//  - a boundary that occurs at the start of a line inside its part (or that
//    clashes with an enclosing or enclosed part's boundary) is replaced by a
//    freshly drawn one of the form "<decimal number>_boundary"; the part tree
//    itself keeps the caller's value.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "mail/MailErrors.h"
#include "mail/PartTree.h"

namespace zorvik::mail {

struct MessageHeaders {
  std::string from;
  std::string to;
  std::string cc;
  std::string subject;
  std::string date;       // written as given
  std::string messageId;  // "<...@...>"
};

// The message made in slices, so that a large one neither holds the caller
// for long nor ever exists whole in memory. Start lays the message out;
// Prepare reads every body once (to learn what each part's header must say
// and which boundaries the parts hold); Read then makes the bytes, a piece
// at a time. The part tree must not change from Start until the last Read.
class MessageWriter {
 public:
  MessageWriter();
  ~MessageWriter();
  MessageWriter(const MessageWriter&) = delete;
  MessageWriter& operator=(const MessageWriter&) = delete;

  MailStatus Start(const MessageHeaders& headers, const MimePart& root);
  // Works on the preparation for about `budget`; true once it is complete
  // (or failed: see Status()).
  bool Prepare(std::chrono::steady_clock::duration budget);
  const MailStatus& Status() const;
  // Bytes of the whole message; known once prepared.
  std::uint64_t Size() const;
  // Appends the next bytes of the message (about `max` of them) to `out`;
  // false once everything has been given.
  bool Read(std::string& out, std::size_t max);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The whole message at once.
MailStatus WriteMessage(const MessageHeaders& headers, const MimePart& root, std::string& out);

}  // namespace zorvik::mail
