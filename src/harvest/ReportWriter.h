#pragma once
// Keeps an HTML report in step with the text file it is built from (the URL
// file, three lines per record; the links log, one). The report is the
// common header, one row per record and the common footer. The first update
// writes it whole; as long as nothing but this writer touches the report and
// the source only grows (its last bytes turned into rows are still there),
// later updates write the rows of the new records
// over the old footer and put the footer after them, so a crawl's report
// work grows with its records, not with their square. Either way the report
// is byte for byte what a whole rewrite would give.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace zorvik::harvest {

struct ReportLayout {
  std::size_t linesPerRecord;
  // Appends the row of one record; lines missing from an incomplete last
  // record are given as empty.
  void (*row)(const std::vector<std::string>& lines, std::string& out);
};

class ReportWriter {
 public:
  explicit ReportWriter(ReportLayout layout) : layout_(layout) {}

  // Brings `target` up to date with `source`. False when the source is not a
  // readable regular file or the report could not be written; a failed whole rewrite leaves the
  // old report as it was.
  bool Update(const std::filesystem::path& source, const std::filesystem::path& target);
  // Rewrites `target` whole from `source` (replaced only once complete).
  bool Rewrite(const std::filesystem::path& source, const std::filesystem::path& target);
  // Why the last update or rewrite could not write the report; empty when
  // it did, or when it failed for want of a readable source.
  std::error_code LastWriteError() const { return writeError_; }

 private:
  // What the report last written holds, to recognise it and its source.
  struct Progress {
    std::filesystem::path source, target;
    dev_t sourceDevice = 0, targetDevice = 0;
    ino_t sourceInode = 0, targetInode = 0;
    std::uint64_t consumed = 0;    // source bytes of whole records turned into rows
    std::string consumedEnd;       // the last of those bytes: a source rewritten in place differs
    std::uint64_t rowsEnd = 0;     // report bytes up to the end of their rows
    std::uint64_t reportSize = 0;  // the whole report's size
  };

  // Writes what the source gained since `p`; false when the files are no
  // longer those of `p` or the writing failed.
  bool Append(Progress p);

  ReportLayout layout_;
  std::optional<Progress> progress_;
  std::error_code writeError_;
};

}  // namespace zorvik::harvest
