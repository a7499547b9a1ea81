#include "harvest/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace zorvik::harvest {

namespace {
std::atomic<unsigned> counter{0};

std::error_code LastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }
}

AtomicFile::AtomicFile(std::filesystem::path target, unsigned mode) : target_(std::move(target)) {
  const std::filesystem::path dir = target_.parent_path();
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    temp_ = dir / ("." + target_.filename().string() + "." + std::to_string(::getpid()) + "." +
                   std::to_string(counter++) + ".tmp");
    // By default mode 0666 less the umask: a report gets the permissions any
    // newly created file would have.
    const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error_ = LastError();
      break;
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
      error_ = LastError();
      ::close(fd);
      std::error_code ec;
      std::filesystem::remove(temp_, ec);
      break;
    }
  }
  if (!file_) {
    temp_.clear();
    if (!error_) error_ = std::make_error_code(std::errc::file_exists);
  }
}

AtomicFile::~AtomicFile() {
  if (file_) std::fclose(file_);
  if (!temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
  }
}

void AtomicFile::Write(std::string_view bytes) {
  if (!ok() || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
    error_ = LastError();
  }
}

void AtomicFile::WriteLine(std::string_view line) {
  Write(line);
  Write("\r\n");
}

bool AtomicFile::Commit() {
  if (!ok()) return false;
  bool good = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
  if (!good) error_ = LastError();
  if (std::fclose(file_) != 0 && good) {
    good = false;
    error_ = LastError();
  }
  file_ = nullptr;
  if (!good) return false;
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
    error_ = ec;
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace zorvik::harvest
