#include "mail/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace zorvik::mail {
namespace {

constexpr std::size_t kPiece = 1 << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens a regular file for reading. O_NONBLOCK: opening a FIFO must not wait
// for a writer.
MailStatus OpenRegular(const std::string& path, int& fd, std::uint64_t& size) {
  fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return MailStatus::Error(kErrCannotOpenFile);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    fd = -1;
    return MailStatus::Error(kErrCannotOpenFile);
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return MailStatus::Ok();
}

// Appends up to `want` (at most kPiece) bytes through `buffer`, so that
// `out` never grows past what it holds; the number read, or -1 on an error.
long ReadSome(int fd, std::string& buffer, std::string& out, std::size_t want) {
  buffer.resize(kPiece);
  ssize_t n;
  do {
    n = ::read(fd, buffer.data(), std::min(want, kPiece));
  } while (n < 0 && errno == EINTR);
  if (n > 0) out.append(buffer, 0, static_cast<std::size_t>(n));
  return static_cast<long>(n);
}

MailStatus TooLarge(const std::string& path, std::uint64_t limit) {
  MailStatus s = MailStatus::Error(kErrCannotOpenFile);
  s.description = "Could not open file: \"" + std::filesystem::path(path).filename().string() +
                  "\" is larger than " + std::to_string(limit >> 20) +
                  " MiB, the most a part may hold.";
  return s;
}

}  // namespace

MailStatus ReadWholeFile(const std::string& path, std::uint64_t limit, std::string& out,
                         const std::function<bool()>& yield) {
  out.clear();
  int raw = -1;
  std::uint64_t size = 0;
  if (MailStatus s = OpenRegular(path, raw, size); !s.ok()) return s;
  Fd fd(raw);
  if (size > limit) return TooLarge(path, limit);
  out.reserve(static_cast<std::size_t>(size));
  std::string buffer;
  for (;;) {
    // The file may grow while it is read: never past the limit.
    const std::uint64_t room = limit + 1 - out.size();
    const long n = ReadSome(fd.get(), buffer, out, static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, room)));
    if (n < 0) {
      out.clear();
      return MailStatus::Error(kErrCannotOpenFile);
    }
    if (n == 0) break;
    if (out.size() > limit) {
      out.clear();
      return TooLarge(path, limit);
    }
    if (yield && !yield()) {
      out.clear();
      return MailStatus::Error(kErrInternalState);
    }
  }
  return MailStatus::Ok();
}

MailStatus ReadFileHead(const std::string& path, std::size_t max, std::string& out) {
  out.clear();
  int raw = -1;
  std::uint64_t size = 0;
  if (MailStatus s = OpenRegular(path, raw, size); !s.ok()) return s;
  Fd fd(raw);
  std::string buffer;
  while (out.size() < max) {
    const long n = ReadSome(fd.get(), buffer, out, max - out.size());
    if (n < 0) {
      out.clear();
      return MailStatus::Error(kErrCannotOpenFile);
    }
    if (n == 0) break;
  }
  return MailStatus::Ok();
}

}  // namespace zorvik::mail
