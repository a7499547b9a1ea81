#include "harvest/ReportFiles.h"

#include <vector>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"

namespace zorvik::harvest {

namespace {

// Only these schemes become links; any other address (a "javascript:" one
// above all) is shown as text.
bool Linkable(std::string_view address) {
  for (const std::string_view scheme : {"http:", "https:", "ftp:", "mailto:"}) {
    if (address.size() >= scheme.size() && text::EqualsNoCase(address.substr(0, scheme.size()), scheme)) return true;
  }
  return false;
}

void LinkLine(std::string& out, std::string_view prefix, std::string_view address) {
  if (prefix.empty() && !Linkable(address)) {
    out += TextSafe(address);
    out += "<br>\r\n";
    return;
  }
  out += "<a href=\"";
  out += prefix;
  out += AttributeSafe(address);
  out += "\">";
  out += TextSafe(address);
  out += "</a><br>\r\n";
}

// A record of the URL file: address, title, mailto address.
void SearchedRow(const std::vector<std::string>& lines, std::string& out) {
  const std::string& mail = lines[2];
  out += "<TR><td>\r\n";
  LinkLine(out, "", lines[0]);
  out += "<br>";
  out += TextSafe(lines[1]);
  out += "\r\n";
  if (mail.find('@') != std::string::npos) LinkLine(out, "mailto:", mail);
  else out += "&nbsp;\r\n";
  out += "</TD></tr>\r\n";
}

void LinksRow(const std::vector<std::string>& lines, std::string& out) {
  out += "<TR><td>\r\n";
  LinkLine(out, "", lines[0]);
  out += "</TD></tr>\r\n";
}

constexpr ReportLayout kSearched{3, SearchedRow};
constexpr ReportLayout kLinks{1, LinksRow};

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
  return ReportWriter(kSearched).Rewrite(urlFile, target);
}

bool WriteLinksReportFile(const std::filesystem::path& linksLog,
                          const std::filesystem::path& target) {
  return ReportWriter(kLinks).Rewrite(linksLog, target);
}

ReportFiles::ReportFiles(RobotForm& form, const SearchState& state,
                         std::filesystem::path programDirectory)
    : form_(form),
      state_(state),
      programDirectory_(std::move(programDirectory)),
      searched_(kSearched),
      links_(kLinks) {}

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
  lastWriteError_.clear();
  if (state_.UrlFilePath.empty()) return false;
  if (!searched_.Update(state_.UrlFilePath, SearchedReportPath())) {
    lastWriteError_ = searched_.LastWriteError();
    return false;
  }
  ReportReadyMark() = 1;
  form_.BrowserLocation = ReportToShow().string();
  return true;
}

bool ReportFiles::WriteLinksReport() {
  lastWriteError_.clear();
  if (!links_.Update(LinksLogPath(), LinksReportPath())) {
    lastWriteError_ = links_.LastWriteError();
    return false;
  }
  ReportReadyMark() = 1;
  return true;
}

std::filesystem::path ReportFiles::ReportToShow() const {
  if (form_.chkStay) return SearchResultPath();
  if (!state_.SpideredFilePath.empty()) return state_.SpideredFilePath;
  return SearchedReportPath();
}

}  // namespace zorvik::harvest
