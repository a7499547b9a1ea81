#pragma once
// The search result file of a search (ResultBaseName + "_search_result.htm" in
// the program directory). The launch writes its opening and closing lines, the
// result-section cuts write the body between them, one section per write. It
// is opened for appending (created when missing) and stays open while a crawl
// runs; a write while it is closed is passed over quietly.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

class WriteFailures;

// The name a search's files are named after (ResultBaseName): the URL file's
// name without its last four characters (the ".txt", whatever they are),
// counted in characters of UTF-8, so that no character is cut in two.
// Nothing when the name has four characters or fewer.
std::optional<std::string> ResultBaseNameOf(std::string_view urlFileName);

// Where a cut puts the sections it writes: the search result file, or any
// other destination (the command-line tool writes them to a stream).
class SectionSink {
 public:
  virtual ~SectionSink() = default;
  // One write of `text` followed by CR LF.
  virtual void WriteSection(std::string_view text) = 0;
};

class SearchResultFile : public SectionSink {
 public:
  static constexpr std::string_view kSuffix = "_search_result.htm";
  static std::filesystem::path PathFor(const std::filesystem::path& dir, std::string_view resultBaseName);

  SearchResultFile() = default;
  ~SearchResultFile() override;
  SearchResultFile(const SearchResultFile&) = delete;
  SearchResultFile& operator=(const SearchResultFile&) = delete;

  // Where a file that cannot be opened or written is told; nowhere unless set.
  void ReportFailuresTo(WriteFailures* failures) { failures_ = failures; }

  // Opens `path` for appending, creating it when missing; an open file is
  // closed first. False when it cannot be opened (the file then stays closed).
  bool Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  const std::filesystem::path& Path() const { return path_; }

  // Appends `text` and CR LF in one write and hands them to the system, so a
  // browser pane showing the file sees them. Nothing happens while closed; a
  // failed write is told.
  void WriteSection(std::string_view text) override;

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  WriteFailures* failures_ = nullptr;
};

}  // namespace zorvik
