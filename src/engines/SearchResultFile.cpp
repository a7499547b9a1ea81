#include "engines/SearchResultFile.h"

#include <cerrno>
#include <string>

#include "core/WriteFailures.h"

namespace zorvik {

std::optional<std::string> ResultBaseNameOf(std::string_view urlFileName) {
  std::size_t end = urlFileName.size();
  for (int dropped = 0; dropped < 4; ++dropped) {
    if (end == 0) return std::nullopt;
    --end;
    // Back over the continuation bytes to the character's first byte.
    while (end > 0 && (static_cast<unsigned char>(urlFileName[end]) & 0xC0) == 0x80) --end;
  }
  if (end == 0) return std::nullopt;
  return std::string(urlFileName.substr(0, end));
}

std::filesystem::path SearchResultFile::PathFor(const std::filesystem::path& dir,
                                                std::string_view resultBaseName) {
  std::string name(resultBaseName);
  name += kSuffix;
  return dir / name;
}

SearchResultFile::~SearchResultFile() { Close(); }

bool SearchResultFile::Open(const std::filesystem::path& path) {
  Close();
  file_ = std::fopen(path.c_str(), "ab");
  if (file_ != nullptr) path_ = path;
  else if (failures_ != nullptr) failures_->Report(path, {errno, std::generic_category()});
  return file_ != nullptr;
}

void SearchResultFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void SearchResultFile::WriteSection(std::string_view text) {
  if (file_ == nullptr) return;
  std::string record;
  record.reserve(text.size() + 2);
  record.append(text);
  record.append("\r\n");
  const bool written = std::fwrite(record.data(), 1, record.size(), file_) == record.size();
  if ((!written || std::fflush(file_) != 0) && failures_ != nullptr)
    failures_->Report(path_, {errno, std::generic_category()});
}

}  // namespace zorvik
