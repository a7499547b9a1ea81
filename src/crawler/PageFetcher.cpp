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

void PageFetcher::Abandon() {
  if (!inet1_.StillExecuting()) return;
  abandoning_ = true;
  inet1_.Cancel();
  abandoning_ = false;
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
  inet1_.Execute(address);
  WaitForFetch(false);
  return ctx_.FetchDone;
}

bool PageFetcher::AbleToGetWebDocumentHeaders(std::string_view address) {
  Abandon();
  ctx_.FetchDone = false;
  ctx_.FetchAborted = false;
  ctx_.IsPicture = false;
  ctx_.state.Busy = true;
  ctx_.form.txtOutput.clear();
  inet1_.OpenURL(address, Inet::kBytes);
  ctx_.form.txtURL = std::string(address);
  ctx_.host.DoEvents();
  inet1_.Execute(address);
  WaitForFetch(true);
  // A server that cannot be reached drops the link, even when the error
  // state arrived in the same yield; the request given up on is ended, so
  // that the next link finds the transfer free.
  if (inet1_.ResponseInfo() == "Cannot connect") {
    Abandon();
    return false;
  }
  return ctx_.FetchDone;
}

HostCollection PageFetcher::SelectHostCollection(std::string_view address) {
  if (!AbleToGetWebDocumentHeaders(address)) return HostCollection::None;
  const std::string type = inet1_.GetHeader("Content-type");
  return text::ContainsNoCase(type, "text/") ? HostCollection::Links : HostCollection::Resources;
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
  if (state == 4) ctx_.form.txtURL = WithoutPort80(inet1_.URL());
  if (state == 11) ctx_.FetchDone = true;
}

void PageFetcher::CompletionProcessing() {
  RobotForm& form = ctx_.form;
  form.PageAccumulator.clear();
  ctx_.host.ShowStatus(1, "Response Completed");
  const std::string ext = text::LCase(text::Trim(HandyStuff::UrlExtension(form.txtURL)));
  ctx_.IsPicture = ext == "jpg" || ext == "gif";
  if (ctx_.IsPicture) {
    PictureBranch();
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
  if (ctx_.analyst && ctx_.analyst->DocumentMatches(form.txtOutput)) RecordMatchingPage();
  if (form.chkExtEmail) harvester_.Harvest();
  ++form.SearchedCount;
  ctx_.host.ShowStatus(2, "# URL Searched: " + std::to_string(form.SearchedCount));
  ctx_.FetchDone = true;
  reports_.WriteSearchedReport();
}

void PageFetcher::RecordMatchingPage() {
  RobotForm& form = ctx_.form;
  const std::string& urlFile = ctx_.state.UrlFilePath;
  harvest::AppendLine(urlFile, form.txtURL);
  harvest::ExtractTitle(form);
  harvest::AppendLine(urlFile, form.PageTitle);
  ++form.FoundCount;
  ctx_.host.ShowStatus(3, "# Found: " + std::to_string(form.FoundCount));
  ctx_.host.ShowStatus(4, "Found at: " + harvest::TimeOfDayText(ctx_.host.Now()));
  form.List1.push_back(form.txtURL);
  if (form.chkSave) {
    std::string name = HandyStuff::FileNamePart(form.txtURL);
    if (name.empty() || !HandyStuff::HasPathAfterServer(form.txtURL)) name = "index.htm";
    harvest::SaveIntoFolder(ctx_.SaveFolder(), name, form.txtOutput);
  }
  harvest::AppendLine(urlFile, form.chkEmail ? harvest::MailtoScan(form.PageText) : std::string());
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
    if (status >= 200 && status < 300) {
      harvest::SaveIntoFolder(ctx_.SaveFolder(), HandyStuff::FileNamePart(form.txtURL), bytes);
    }
  }
  ctx_.IsPicture = false;
  ctx_.host.ShowStatus(1, "Downloaded File");
  ctx_.host.ShowStatus(1, "Download Finished");
  ctx_.FetchDone = true;
  reports_.WriteSearchedReport();
}

}  // namespace zorvik
