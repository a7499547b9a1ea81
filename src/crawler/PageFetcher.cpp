#include "crawler/PageFetcher.h"

#include <chrono>

#include "core/Host.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "crawler/AddressHelpers.h"
#include "crawler/Inet.h"
#include "crawler/InetStates.h"
#include "crawler/RobotContext.h"
#include "engines/ResultSectionCut.h"
#include "harvest/AddressHarvester.h"
#include "harvest/MailtoScan.h"
#include "harvest/PageTitle.h"
#include "harvest/ReportFiles.h"
#include "harvest/SavedFiles.h"

namespace zorvik {

namespace {
constexpr std::size_t kTextChunk = 1024;
constexpr std::size_t kPictureChunk = 4096;
// How long a fetch's wait blocks at most before it looks at its marks again.
constexpr std::chrono::milliseconds kWaitSlice{50};

// Under which an address's earlier read is kept: addresses that differ only
// in letter case are one, as they are in the tree.
std::string ReadKey(std::string_view address) { return text::LCase(address); }
}  // namespace

PageFetcher::PageFetcher(RobotContext& context, Inet& inet1, ResultSectionCut& cut,
                         harvest::AddressHarvester& harvester, harvest::ReportFiles& reports)
    : ctx_(context), inet1_(inet1), cut_(cut), harvester_(harvester), reports_(reports) {}

void PageFetcher::WaitForFetch(bool probe) {
  while (!ctx_.FetchDone && !ctx_.FetchAborted && !ctx_.state.StopWanted()) {
    if (probe && inet1_.ResponseInfo() == "Cannot connect") return;
    ctx_.host.WaitEvents(kWaitSlice);
  }
}

bool PageFetcher::StopSeen() const { return ctx_.FetchAborted || ctx_.state.StopWanted(); }

void PageFetcher::Abandon() {
  if (!inet1_.StillExecuting()) return;
  abandoning_ = true;
  inet1_.Cancel();
  abandoning_ = false;
}

void PageFetcher::Start(std::string_view address) {
  requested_ = ReadKey(address);
  fetchAddress_ = WithoutPort80(address);
  lastMatches_ = false;
  failure_.clear();
  inet1_.Execute(address);
}

void PageFetcher::Conclude(std::string_view address, bool ended, bool probe) {
  // A stop or an abort ended the wait: the request goes with it, so that it
  // cannot complete into a later fetch or search.
  if (!ctx_.FetchDone && inet1_.StillExecuting()) Abandon();
  if (!ctx_.options.fetchOnce || StopSeen()) return;
  Answer& answer = answers_[ReadKey(address)];
  answer.ended = ended;
  answer.failed = !failure_.empty();
  answer.matches = ended && lastMatches_;
  answer.contentType = ended ? inet1_.GetHeader("Content-type") : std::string();
  if (probe && keepPages_ && ended && !answer.failed && text::ContainsNoCase(answer.contentType, "text/")) {
    keptPages_[ReadKey(address)] = ctx_.form.txtOutput;
  }
}

const PageFetcher::Answer* PageFetcher::Earlier(std::string_view address) const {
  if (!ctx_.options.fetchOnce) return nullptr;
  const auto it = answers_.find(ReadKey(address));
  return it == answers_.end() ? nullptr : &it->second;
}

bool PageFetcher::AbleToGetWebDocument(std::string_view address) {
  Abandon();
  ctx_.FetchDone = false;
  ctx_.FetchAborted = false;
  ctx_.IsPicture = false;
  if (!ctx_.state.SpideredFilePath.empty()) {
    // An opened page stands in for the web: nothing is fetched.
    ctx_.state.Busy = true;
    return false;
  }
  ctx_.form.txtOutput.clear();
  ctx_.state.Busy = true;
  // A stop already requested starts nothing.
  if (ctx_.state.StopWanted()) return false;
  Start(address);
  WaitForFetch(false);
  const bool ended = ctx_.FetchDone && failure_.empty();
  Conclude(address, ended, false);
  return ended;
}

bool PageFetcher::AbleToGetWebDocumentHeaders(std::string_view address) {
  Abandon();
  ctx_.FetchDone = false;
  ctx_.FetchAborted = false;
  ctx_.IsPicture = false;
  ctx_.state.Busy = true;
  ctx_.form.txtOutput.clear();
  // A stop already requested starts nothing.
  if (ctx_.state.StopWanted()) return false;
  const bool once = ctx_.options.fetchOnce;
  if (once) {
    if (const Answer* answer = Earlier(address)) {
      ctx_.FetchDone = answer->ended;
      answeredType_ = answer->contentType;
      return answer->ended;
    }
  } else {
    inet1_.OpenURL(address, Inet::kBytes);
    // A stop during the first read starts no second one.
    if (StopSeen()) return false;
  }
  ctx_.form.txtURL = std::string(address);
  ctx_.host.Repaint();
  Start(address);
  // Reading each page once, there was no first read whose failure could end
  // the wait early.
  WaitForFetch(!once);
  // A server that cannot be reached drops the link, even when the error
  // state arrived in the same yield; the request given up on is ended, so
  // that the next link finds the transfer free.
  const bool ended = ctx_.FetchDone && inet1_.ResponseInfo() != "Cannot connect";
  answeredType_ = ended ? inet1_.GetHeader("Content-type") : std::string();
  if (!ended) Abandon();
  Conclude(address, ended, true);
  return ended;
}

HostCollection PageFetcher::SelectHostCollection(std::string_view address) {
  if (!AbleToGetWebDocumentHeaders(address)) return HostCollection::None;
  return text::ContainsNoCase(answeredType_, "text/") ? HostCollection::Links : HostCollection::Resources;
}

void PageFetcher::ForgetEarlierReads() {
  answers_.clear();
  keptPages_.clear();
  keepPages_ = false;
}

bool PageFetcher::HasEarlierRead(std::string_view address, bool needText) const {
  const Answer* answer = Earlier(address);
  if (answer == nullptr) return false;
  return !needText || !answer->ended || answer->failed || keptPages_.contains(ReadKey(address));
}

std::optional<PageFetcher::EarlierRead> PageFetcher::TakeEarlierRead(std::string_view address, bool needText) {
  const Answer* answer = Earlier(address);
  if (answer == nullptr) return std::nullopt;
  RobotForm& form = ctx_.form;
  if (const auto kept = keptPages_.find(ReadKey(address)); kept != keptPages_.end()) {
    form.txtOutput = std::move(kept->second);
    keptPages_.erase(kept);
    form.txtURL = std::string(address);
    return EarlierRead{answer->ended && !answer->failed, std::nullopt};
  }
  // Without its text the page is read again; its processing then records
  // and counts nothing a second time.
  if (needText && answer->ended && !answer->failed) return std::nullopt;
  form.txtOutput.clear();
  form.txtURL = std::string(address);
  return EarlierRead{answer->ended && !answer->failed, answer->matches};
}

void PageFetcher::Inet1_StateChanged(std::int16_t state) {
  if (abandoning_) return;
  if (state == 12) {
    CompletionProcessing();
    return;
  }
  if (state < 0 || state > 11) return;
  if (state == 3) ctx_.host.ShowStatus(2, "");
  ctx_.host.ShowStatus(1, InetStateText(state));
  if (state == 4) {
    fetchAddress_ = WithoutPort80(inet1_.URL());
    ctx_.form.txtURL = fetchAddress_;
  }
  if (state == 11) {
    failure_ = inet1_.ResponseInfo();
    ctx_.FetchDone = true;
  }
}

void PageFetcher::CompletionProcessing() {
  RobotForm& form = ctx_.form;
  form.PageAccumulator.clear();
  ctx_.host.ShowStatus(1, "Response Completed");
  const std::string ext = text::LCase(text::Trim(HandyStuff::UrlExtension(fetchAddress_)));
  ctx_.IsPicture = ext == "jpg" || ext == "gif";
  if (ctx_.IsPicture) {
    PictureBranch();
    return;
  }
  if (inet1_.StatusCode() >= 400) {
    // An error page ("404 Not Found") is no page: the fetch failed, and the
    // page is neither tested, recorded, saved nor counted.
    failure_ = inet1_.ResponseInfo();
    ctx_.host.ShowStatus(1, failure_);
    ctx_.state.Busy = false;
    ctx_.FetchDone = true;
    return;
  }
  for (std::string piece = inet1_.GetChunk(kTextChunk, Inet::kText); !piece.empty();
       piece = inet1_.GetChunk(kTextChunk, Inet::kText)) {
    form.PageAccumulator += piece;
  }
  ctx_.state.Busy = false;
  ctx_.FetchDone = true;
  form.txtOutput = form.PageAccumulator;
  form.PageText = form.PageAccumulator;
  if (ctx_.state.SpideredFilePath.empty()) cut_.Cut();
  form.PageText = form.txtOutput;
  ctx_.FetchDone = true;
  if (ctx_.state.StopIsRequested()) return;
  lastMatches_ = ctx_.analyst && ctx_.analyst->DocumentMatches(form.txtOutput);
  // Read again only for its text: it was tested, recorded and counted when
  // it was first read.
  if (ctx_.options.fetchOnce && answers_.contains(requested_)) return;
  if (lastMatches_) RecordMatchingPage();
  if (form.chkExtEmail) {
    harvester_.Harvest();
    if (const std::error_code error = harvester_.LastWriteError())
      ctx_.writeFailures.Report(harvester_.AddressFilePath(), error);
  }
  ++form.SearchedCount;
  ctx_.host.ShowStatus(2, "# URL Searched: " + std::to_string(form.SearchedCount));
  ctx_.FetchDone = true;
  UpdateSearchedReport();
}

void PageFetcher::UpdateSearchedReport() {
  if (reports_.WriteSearchedReport()) return;
  if (const std::error_code error = reports_.LastWriteError())
    ctx_.writeFailures.Report(reports_.SearchedReportPath(), error);
}

void PageFetcher::Save(const std::string& name, std::string_view bytes) {
  const std::filesystem::path folder = ctx_.SaveFolder();
  std::error_code error;
  if (harvest::SaveIntoFolder(folder, name, bytes, &error).empty())
    ctx_.writeFailures.Report(folder / harvest::SafeFileName(name), error);
}

void PageFetcher::RecordMatchingPage() {
  RobotForm& form = ctx_.form;
  harvest::ExtractTitle(form);
  ++form.FoundCount;
  ctx_.host.ShowStatus(3, "# Found: " + std::to_string(form.FoundCount));
  ctx_.host.ShowStatus(4, "Found at: " + harvest::TimeOfDayText(ctx_.host.Now()));
  form.List1.push_back(fetchAddress_);
  if (form.chkSave) {
    std::string name = HandyStuff::FileNamePart(fetchAddress_);
    if (name.empty() || !HandyStuff::HasPathAfterServer(fetchAddress_)) name = "index.htm";
    Save(name, form.txtOutput);
  }
  const std::string mail = form.chkEmail ? harvest::MailtoScan(form.PageText) : std::string();
  // The record's three lines go into the URL file in one piece: a full disk
  // leaves no half record.
  const std::string& urlFile = ctx_.state.UrlFilePath;
  if (const std::error_code error = harvest::AppendLines(urlFile, {fetchAddress_, form.PageTitle, mail}))
    ctx_.writeFailures.Report(urlFile, error);
}

void PageFetcher::PictureBranch() {
  RobotForm& form = ctx_.form;
  ctx_.host.ShowStatus(1, "Downloading.....");
  if (form.chkPix) {
    ctx_.host.ShowStatus(1, "Downloading File");
    std::string bytes;
    for (std::string piece = inet1_.GetChunk(kPictureChunk, Inet::kBytes); !piece.empty();
         piece = inet1_.GetChunk(kPictureChunk, Inet::kBytes)) {
      bytes += piece;
    }
    // An error page (a 404 for a picture address) is no picture: not stored.
    const int status = inet1_.StatusCode();
    if (status >= 200 && status < 300) Save(HandyStuff::FileNamePart(fetchAddress_), bytes);
  }
  ctx_.IsPicture = false;
  ctx_.host.ShowStatus(1, "Downloaded File");
  ctx_.host.ShowStatus(1, "Download Finished");
  ctx_.FetchDone = true;
  UpdateSearchedReport();
}

}  // namespace zorvik
