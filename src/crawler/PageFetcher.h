#pragma once
// Blocking page fetches over the asynchronous transfer component, and
// everything done with a page once it has arrived: the status texts of every
// transfer state, the page-text box, the result-section cut, the page test,
// the record of a matching page in the URL file, page and picture saving,
// the address harvest, the searched counter and the searched report.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zorvik {

class Inet;
class ResultSectionCut;
struct RobotContext;

namespace harvest {
class AddressHarvester;
class ReportFiles;
}  // namespace harvest

// Which children of a node a probed link belongs to.
enum class HostCollection { None, Links, Resources };

class PageFetcher {
 public:
  PageFetcher(RobotContext& context, Inet& inet1, ResultSectionCut& cut, harvest::AddressHarvester& harvester,
              harvest::ReportFiles& reports);

  // Fetches and processes one page, waiting (and yielding) until the request
  // has ended, the fetch was aborted or a stop was requested. True when a
  // page arrived; false when the request failed (a transfer error, or an
  // HTTP error status: its page is neither tested nor recorded), was
  // aborted or stopped. A stop requested before or during the wait leaves
  // no request running: nothing of it arrives later.
  bool AbleToGetWebDocument(std::string_view address);
  // Why the last fetch failed ("Cannot connect", "HTTP/1.1 404 Not Found");
  // empty when it did not fail.
  const std::string& FailureText() const { return failure_; }

  // The probe of a link being sorted: reads the address once and drops the
  // body, then fetches it again like a page (processed in full). False at
  // once when the server cannot be reached, and without a second request
  // when a stop came during the first.
  bool AbleToGetWebDocumentHeaders(std::string_view address);

  // Probes a link: Links for a text content type ("text/" in any case),
  // Resources for any other, None when the probe failed.
  HostCollection SelectHostCollection(std::string_view address);

  // The handler of the page transfer's state changes.
  void Inet1_StateChanged(std::int16_t state);

  // Ends the running request without processing it: nothing of it reaches
  // the page-text box, the marks or a later fetch.
  void Abandon();

  // ---- fetching each page once (RobotOptions::fetchOnce) ----
  // An address read once in a search is not requested again: its answer
  // (outcome, content type, page test) serves every later probe, and a page
  // is processed (tested, recorded, counted) once.

  // Forgets every answer and kept page: the next search reads afresh.
  void ForgetEarlierReads();
  // Whether the probes from now on keep the text of the text pages they
  // read, for the crawl's visit of those pages further down.
  void KeepProbedPages(bool keep) { keepPages_ = keep; }
  // What the crawl's visit of an address can take from an earlier read
  // instead of a request: its kept text (put into the page-text box; the
  // crawl tests it) or, when the visit needs no text, the earlier page test.
  struct EarlierRead {
    bool ended = false;
    std::optional<bool> matches;  // set when no text was put into the box
  };
  std::optional<EarlierRead> TakeEarlierRead(std::string_view address, bool needText);
  // Whether TakeEarlierRead would answer without a request.
  bool HasEarlierRead(std::string_view address, bool needText) const;

 private:
  struct Answer {
    bool ended = false;
    bool failed = false;  // an HTTP error status: no page for the crawl
    bool matches = false;
    std::string contentType;
  };

  void CompletionProcessing();
  void PictureBranch();
  void RecordMatchingPage();
  // Saves into the collection folder; a failure is reported.
  void Save(const std::string& name, std::string_view bytes);
  void UpdateSearchedReport();
  void Start(std::string_view address);
  void WaitForFetch(bool probe);
  // After a fetch's wait: abandons a request a stop left running, notes the
  // answer for later reads. `ended` is the fetch's result.
  void Conclude(std::string_view address, bool ended, bool probe);
  bool StopSeen() const;
  const Answer* Earlier(std::string_view address) const;

  RobotContext& ctx_;
  Inet& inet1_;
  ResultSectionCut& cut_;
  harvest::AddressHarvester& harvester_;
  harvest::ReportFiles& reports_;
  bool abandoning_ = false;
  // The address the running fetch was asked for, as its earlier read would
  // be kept.
  std::string requested_;
  // The address the running fetch was made for, as the transfer reports it
  // once connected: a completed fetch is a picture or a page, and is
  // recorded, by it alone. (The address box may meanwhile show a download's.)
  std::string fetchAddress_;
  // The content type of the last probe's answer.
  std::string answeredType_;
  // The page test of the last completed page.
  bool lastMatches_ = false;
  // Why the running or last fetch failed; empty when it did not.
  std::string failure_;
  bool keepPages_ = false;
  std::unordered_map<std::string, Answer> answers_;
  std::unordered_map<std::string, std::string> keptPages_;
};

}  // namespace zorvik
