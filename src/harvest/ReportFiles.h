#pragma once
// The HTML reports the robot writes into the program directory: the searched
// report, built from the URL file (three lines per matching page: address,
// title, mailto address), and the links report, built from the links log
// (one address per line). Both are brought up to date after every change of
// their source (see ReportWriter); the browser pane is then pointed at the
// report that fits the search. Only http, https, ftp and mailto addresses
// become links; any other address is shown as text.

#include <filesystem>
#include <string>
#include <string_view>

#include "harvest/ReportWriter.h"

namespace zorvik {

struct RobotForm;
struct SearchState;

namespace harvest {

// Escapes for text that came from the web. In an attribute value a double
// quote becomes "%22"; in the text of a page "<" and ">" become "&lt;" and
// "&gt;". Everything else passes unchanged.
std::string AttributeSafe(std::string_view address);
std::string TextSafe(std::string_view text);

// Writes the searched report of `urlFile` to `target`. A last record with one
// or two lines counts its missing lines as empty. False, and `target`
// unchanged, when the URL file is not a readable regular file or the report
// could not be written.
bool WriteSearchedReportFile(const std::filesystem::path& urlFile,
                             const std::filesystem::path& target);
// Writes the links report of `linksLog` to `target`; same failure rule.
bool WriteLinksReportFile(const std::filesystem::path& linksLog,
                          const std::filesystem::path& target);

class ReportFiles {
 public:
  ReportFiles(RobotForm& form, const SearchState& state, std::filesystem::path programDirectory);

  // SpideredFilePath when set, else ResultBaseName + "_searched.htm".
  std::filesystem::path SearchedReportPath() const;
  // ResultBaseName + "_search_result.htm".
  std::filesystem::path SearchResultPath() const;
  std::filesystem::path LinksLogPath() const;     // links2.htm
  std::filesystem::path LinksReportPath() const;  // links.htm

  // Brings the searched report up to date with UrlFilePath, sets the
  // report-ready mark and tells the browser pane which report to show. Does
  // nothing of that and returns false when the report could not be written.
  bool WriteSearchedReport();
  // Brings the links report up to date with the links log and sets the
  // report-ready mark; false on failure.
  bool WriteLinksReport();
  // Why the last of these two could not write its report (see ReportWriter).
  std::error_code LastWriteError() const { return lastWriteError_; }
  // What the browser pane shows after a searched report: the search result
  // file when "Stay within Domain" is ticked, else the spidered file when
  // set, else the searched report.
  std::filesystem::path ReportToShow() const;

 private:
  RobotForm& form_;
  const SearchState& state_;
  std::filesystem::path programDirectory_;
  ReportWriter searched_;
  ReportWriter links_;
  std::error_code lastWriteError_;
};

}  // namespace harvest
}  // namespace zorvik
