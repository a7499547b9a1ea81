#include "harvest/ReportFiles.h"

#include <fstream>

#include "core/Host.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "harvest/AtomicFile.h"

namespace zorvik::harvest {

namespace {

constexpr std::string_view kHeader[] = {
    "<HTML>",
    "<body bgcolor=\"#FBFCD6\" text=\"#FF0000\">",
    "<Table border=1 width=95%>",
    "<TR><td bgcolor=\"#FF00FF\">",
    "<h1><center>Zorvik Result</h1>",
    "</TD></tr>",
};
// The closing tags stand in this order in every report written so far.
constexpr std::string_view kFooter[] = {"</HTML>", "</Body>"};

// Reads lines ended by LF or CR LF; a last line without an end counts.
class LineReader {
 public:
  explicit LineReader(const std::filesystem::path& path) : in_(path, std::ios::binary) {}
  bool ok() const { return static_cast<bool>(in_); }
  bool Next(std::string& line) {
    if (!std::getline(in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  // True when reading stopped at the end of the file rather than on an error.
  bool AtCleanEnd() const { return in_.eof() && !in_.bad(); }

 private:
  std::ifstream in_;
};

void WriteLinkLine(AtomicFile& out, std::string_view prefix, std::string_view address) {
  out.Write("<a href=\"");
  out.Write(prefix);
  out.Write(AttributeSafe(address));
  out.Write("\">");
  out.Write(TextSafe(address));
  out.WriteLine("</a><br>");
}

template <typename Body>
bool WriteReport(const std::filesystem::path& source, const std::filesystem::path& target,
                 Body body) {
  std::error_code ec;
  if (std::filesystem::is_directory(source, ec)) return false;
  LineReader in(source);
  if (!in.ok()) return false;
  AtomicFile out(target);
  if (!out.ok()) return false;
  for (std::string_view line : kHeader) out.WriteLine(line);
  body(in, out);
  if (!in.AtCleanEnd()) return false;
  for (std::string_view line : kFooter) out.WriteLine(line);
  return out.Commit();
}

}  // namespace

std::string AttributeSafe(std::string_view address) {
  std::string out;
  out.reserve(address.size());
  for (const char c : address) {
    if (c == '"') out += "%22";
    else out.push_back(c);
  }
  return out;
}

std::string TextSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out.push_back(c);
  }
  return out;
}

bool WriteSearchedReportFile(const std::filesystem::path& urlFile,
                             const std::filesystem::path& target) {
  return WriteReport(urlFile, target, [](LineReader& in, AtomicFile& out) {
    std::string address, title, mail;
    while (in.Next(address)) {
      // Lines missing from an incomplete last record count as empty.
      if (!in.Next(title)) title.clear();
      if (!in.Next(mail)) mail.clear();
      out.WriteLine("<TR><td>");
      WriteLinkLine(out, "", address);
      out.Write("<br>");
      out.WriteLine(TextSafe(title));
      if (mail.find('@') != std::string::npos) WriteLinkLine(out, "mailto:", mail);
      else out.WriteLine("&nbsp;");
      out.WriteLine("</TD></tr>");
    }
  });
}

bool WriteLinksReportFile(const std::filesystem::path& linksLog,
                          const std::filesystem::path& target) {
  return WriteReport(linksLog, target, [](LineReader& in, AtomicFile& out) {
    std::string link;
    while (in.Next(link)) {
      out.WriteLine("<TR><td>");
      WriteLinkLine(out, "", link);
      out.WriteLine("</TD></tr>");
    }
  });
}

ReportFiles::ReportFiles(RobotForm& form, const SearchState& state,
                         std::filesystem::path programDirectory)
    : form_(form), state_(state), programDirectory_(std::move(programDirectory)) {}

std::filesystem::path ReportFiles::SearchedReportPath() const {
  if (!state_.SpideredFilePath.empty()) return state_.SpideredFilePath;
  return programDirectory_ / (state_.ResultBaseName + "_searched.htm");
}

std::filesystem::path ReportFiles::SearchResultPath() const {
  return programDirectory_ / (state_.ResultBaseName + "_search_result.htm");
}

std::filesystem::path ReportFiles::LinksLogPath() const { return programDirectory_ / "links2.htm"; }

std::filesystem::path ReportFiles::LinksReportPath() const { return programDirectory_ / "links.htm"; }

bool ReportFiles::WriteSearchedReport() {
  if (state_.UrlFilePath.empty()) return false;
  if (!WriteSearchedReportFile(state_.UrlFilePath, SearchedReportPath())) return false;
  ReportReadyMark() = 1;
  form_.BrowserLocation = ReportToShow().string();
  return true;
}

bool ReportFiles::WriteLinksReport() {
  if (!WriteLinksReportFile(LinksLogPath(), LinksReportPath())) return false;
  ReportReadyMark() = 1;
  return true;
}

std::filesystem::path ReportFiles::ReportToShow() const {
  if (form_.chkStay) return SearchResultPath();
  if (!state_.SpideredFilePath.empty()) return state_.SpideredFilePath;
  return SearchedReportPath();
}

bool ReportFiles::ViewLinksReport(Host& host) const {
  return host.ShellOpen(LinksReportPath().string());
}

}  // namespace zorvik::harvest
