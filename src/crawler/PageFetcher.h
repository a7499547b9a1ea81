#pragma once
// Blocking page fetches over the asynchronous transfer component, and
// everything done with a page once it has arrived: the status texts of every
// transfer state, the page-text box, the result-section cut, the page test,
// the record of a matching page in the URL file, page and picture saving,
// the address harvest, the searched counter and the searched report.

#include <cstdint>
#include <string>
#include <string_view>

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
  // has ended, the fetch was aborted or a stop was requested. True when the
  // request ended, in completion or in error.
  bool AbleToGetWebDocument(std::string_view address);

  // The probe of a link being sorted: reads the address once and drops the
  // body, then fetches it again like a page (processed in full). False at
  // once when the server cannot be reached.
  bool AbleToGetWebDocumentHeaders(std::string_view address);

  // Probes a link: Links for a text content type ("text/" in any case),
  // Resources for any other, None when the probe failed.
  HostCollection SelectHostCollection(std::string_view address);

  // The handler of the page transfer's state changes.
  void Inet1_StateChanged(std::int16_t state);

  // Ends the running request without processing it: nothing of it reaches
  // the page-text box, the marks or a later fetch.
  void Abandon();

 private:
  void CompletionProcessing();
  void PictureBranch();
  void RecordMatchingPage();
  void WaitForFetch(bool probe);

  RobotContext& ctx_;
  Inet& inet1_;
  ResultSectionCut& cut_;
  harvest::AddressHarvester& harvester_;
  harvest::ReportFiles& reports_;
  bool abandoning_ = false;
};

}  // namespace zorvik
