#pragma once
// Reading the files the component is pointed at (attachments, stored
// messages): regular files only, never more than a limit, never an
// exception. Anything else (a folder, a FIFO, a device, a file that is gone
// or cannot be read) is kErrCannotOpenFile.

#include <cstdint>
#include <functional>
#include <string>

#include "mail/MailErrors.h"

namespace zorvik::mail {

// The largest file that Action 9 loads into a part.
constexpr std::uint64_t kMaxAttachmentBytes = std::uint64_t{256} << 20;

// The whole file into `out`. A file larger than `limit` is refused before
// anything is read, with a description that says so. `yield` runs between
// pieces of about a megabyte; when it returns false the read is abandoned
// (kErrInternalState).
MailStatus ReadWholeFile(const std::string& path, std::uint64_t limit, std::string& out,
                         const std::function<bool()>& yield = {});

// The first `max` bytes of the file (all of it when it is shorter).
MailStatus ReadFileHead(const std::string& path, std::size_t max, std::string& out);

}  // namespace zorvik::mail
