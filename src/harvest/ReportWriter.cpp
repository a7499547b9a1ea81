#include "harvest/ReportWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "harvest/AtomicFile.h"

namespace zorvik::harvest {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader =
    "<HTML>\r\n"
    "<body bgcolor=\"#FBFCD6\" text=\"#FF0000\">\r\n"
    "<Table border=1 width=95%>\r\n"
    "<TR><td bgcolor=\"#FF00FF\">\r\n"
    "<h1><center>Zorvik Result</h1>\r\n"
    "</TD></tr>\r\n";
// The closing tags stand in this order in every report written so far.
constexpr std::string_view kFooter = "</HTML>\r\n</Body>\r\n";

constexpr std::size_t kBlock = 1 << 16;

// Turns the source's bytes into rows, record by record. Lines end with LF or
// CR LF; a last line without an end counts when it is not empty.
class RowBuilder {
 public:
  explicit RowBuilder(const ReportLayout& layout) : layout_(layout) {}

  // The rows of the records the bytes complete are appended to `out`.
  void Feed(std::string_view bytes, std::string& out) {
    while (!bytes.empty()) {
      const std::size_t end = bytes.find('\n');
      if (end == std::string_view::npos) {
        partial_ += bytes;
        fed_ += bytes.size();
        return;
      }
      partial_ += bytes.substr(0, end);
      fed_ += end + 1;
      bytes.remove_prefix(end + 1);
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      lines_.push_back(std::move(partial_));
      partial_.clear();
      if (lines_.size() == layout_.linesPerRecord) {
        layout_.row(lines_, out);
        lines_.clear();
        consumed_ = fed_;
      }
    }
  }
  // Source bytes that belong to completed records.
  std::uint64_t Consumed() const { return consumed_; }
  // The row of an unfinished last record, with its missing lines empty.
  std::string TailRow() const {
    std::vector<std::string> lines = lines_;
    if (!partial_.empty()) {
      lines.push_back(partial_);
      if (lines.back().back() == '\r') lines.back().pop_back();
    }
    std::string row;
    if (lines.empty()) return row;
    lines.resize(layout_.linesPerRecord);
    layout_.row(lines, row);
    return row;
  }

 private:
  const ReportLayout& layout_;
  std::string partial_;
  std::vector<std::string> lines_;
  std::uint64_t fed_ = 0;
  std::uint64_t consumed_ = 0;
};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Feeds the rest of the file to `rows`, handing each block's rows to
// `sink`. False on a read error.
template <typename Sink>
bool FeedAll(int fd, RowBuilder& rows, Sink sink) {
  std::string buffer(kBlock, '\0');
  std::string out;
  while (true) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out.clear();
    rows.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), out);
    sink(out);
  }
}

// The up to 256 bytes of the file that end at `end`; empty on error.
std::string BytesBefore(int fd, std::uint64_t end) {
  const std::uint64_t from = end > 256 ? end - 256 : 0;
  std::string bytes(end - from, '\0');
  const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(from));
  if (n != static_cast<ssize_t>(bytes.size())) return {};
  return bytes;
}

bool WriteAt(int fd, std::string_view bytes, std::uint64_t offset) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace

bool ReportWriter::Update(const fs::path& source, const fs::path& target) {
  if (progress_ && progress_->source == source && progress_->target == target && Append(*progress_)) return true;
  return Rewrite(source, target);
}

bool ReportWriter::Rewrite(const fs::path& source, const fs::path& target) {
  progress_.reset();
  writeError_.clear();
  // Only a regular file: never a device that reads forever or a pipe that
  // waits for a writer (opening does not block, reading one would).
  Fd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat sourceInfo {};
  if (in.get() < 0 || ::fstat(in.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode)) return false;
  AtomicFile out(target);
  if (!out.ok()) {
    writeError_ = out.error();
    return false;
  }
  out.Write(kHeader);
  RowBuilder rows(layout_);
  std::uint64_t rowsEnd = kHeader.size();
  const bool read = FeedAll(in.get(), rows, [&](const std::string& block) {
    out.Write(block);
    rowsEnd += block.size();
  });
  if (!read) return false;  // the partly written copy is dropped
  const std::string tail = rows.TailRow();
  out.Write(tail);
  out.Write(kFooter);
  if (!out.Commit()) {
    writeError_ = out.error();
    return false;
  }
  struct stat targetInfo {};
  if (::stat(target.c_str(), &targetInfo) == 0) {
    progress_ = Progress{source,
                         target,
                         sourceInfo.st_dev,
                         targetInfo.st_dev,
                         sourceInfo.st_ino,
                         targetInfo.st_ino,
                         rows.Consumed(),
                         BytesBefore(in.get(), rows.Consumed()),
                         rowsEnd,
                         rowsEnd + tail.size() + kFooter.size()};
  }
  return true;
}

bool ReportWriter::Append(Progress p) {
  // Both files must be the ones of the last update, the source grown only,
  // the report untouched since.
  Fd in(::open(p.source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat sourceInfo {};
  if (in.get() < 0 || ::fstat(in.get(), &sourceInfo) != 0 || sourceInfo.st_dev != p.sourceDevice ||
      sourceInfo.st_ino != p.sourceInode || static_cast<std::uint64_t>(sourceInfo.st_size) < p.consumed ||
      BytesBefore(in.get(), p.consumed) != p.consumedEnd)
    return false;
  Fd out(::open(p.target.c_str(), O_WRONLY | O_CLOEXEC));
  struct stat targetInfo {};
  if (out.get() < 0 || ::fstat(out.get(), &targetInfo) != 0 || targetInfo.st_dev != p.targetDevice ||
      targetInfo.st_ino != p.targetInode || static_cast<std::uint64_t>(targetInfo.st_size) != p.reportSize)
    return false;
  if (::lseek(in.get(), static_cast<off_t>(p.consumed), SEEK_SET) < 0) return false;

  // The new rows, the unfinished record's row and the footer go where the
  // old footer (and unfinished row) stood.
  RowBuilder rows(layout_);
  std::string added;
  if (!FeedAll(in.get(), rows, [&](const std::string& block) { added += block; })) return false;
  const std::size_t newRows = added.size();
  added += rows.TailRow();
  added += kFooter;
  const std::uint64_t size = p.rowsEnd + added.size();
  // From here on the report is being changed: a failure leaves it to a
  // whole rewrite.
  progress_.reset();
  if (!WriteAt(out.get(), added, p.rowsEnd) ||
      (size < p.reportSize && ::ftruncate(out.get(), static_cast<off_t>(size)) != 0) || !out.Close()) {
    writeError_.assign(errno, std::generic_category());
    return false;
  }
  p.consumed += rows.Consumed();
  p.consumedEnd = BytesBefore(in.get(), p.consumed);
  p.rowsEnd += newRows;
  p.reportSize = size;
  progress_ = p;
  return true;
}

}  // namespace zorvik::harvest
