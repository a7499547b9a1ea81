#pragma once
// The mail flags the composer shares with the rest of the program; they live
// for the whole run, across composer windows, and are never saved.

#include <cstdint>
#include <string>

namespace zorvik::mail {

struct MailFlags {
  // 1 while a list is being sent, else 0.
  std::int16_t ListSending = 0;
  // 1 once the bulk-mail notice went into the body in answer to "Want to Add
  // Spamnote?", 0 after the answer No.
  int NoticeAdded = 0;
  // The body as it was when the user answered Yes at the start of a list send.
  std::string SavedBody;
};

// The flags the program runs with. The composer takes a MailFlags& so that
// tests can give each case fresh ones.
MailFlags& ProcessMailFlags();

}  // namespace zorvik::mail
