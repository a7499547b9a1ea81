#pragma once
// Replaces a file whole: the new content goes to a temporary file in the same
// directory, which is renamed over the target only when everything was
// written. A failure at any point leaves the old file as it was.

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace zorvik::harvest {

class AtomicFile {
 public:
  // Creates the temporary file beside `target` with permissions `mode` less
  // the umask; ok() tells whether it worked.
  explicit AtomicFile(std::filesystem::path target, unsigned mode = 0666);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool ok() const { return file_ != nullptr && !failed_; }
  void Write(std::string_view bytes);
  // Writes `line` followed by CR LF.
  void WriteLine(std::string_view line);
  // Flushes, syncs and renames over the target. False (and the target
  // unchanged) when anything failed.
  bool Commit();
  // What failed first, if anything did.
  std::error_code error() const { return error_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  std::error_code error_;
};

}  // namespace zorvik::harvest
