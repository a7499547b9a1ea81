// The search launch: the commands that start a search and the routines that
// carry one from the button press to "Finished..... ".
#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "core/Host.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "crawler/AddressHelpers.h"
#include "engines/WebRobot.h"
#include "harvest/AddressHarvester.h"
#include "harvest/AtomicFile.h"
#include "harvest/SavedFiles.h"

namespace zorvik {

namespace {

constexpr std::string_view kUrlFileTitle = "Open/Create New URL file";
constexpr std::string_view kTextFilter = "Text (*.txt)|*.txt";

// The general engines the "All" run asks, by display name.
constexpr std::array<std::string_view, 14> kAllRunEngines = {
    "AltaVista", "Lycos", "HotBot",    "Excite",    "Go",         "Deja",        "LookSmart",
    "1Blink",    "AOL",   "DogPile",   "FFA Links", "FFA Links 2", "4Anything", "Classified"};

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// The URL-file names the program keeps for itself in its directory: the
// bookmarks, the site-search list and every search's address file. (Its other
// files, settings, endpoints, reports and the links log, end otherwise.)
bool IsProgramsOwnUrlFileName(std::string_view name) {
  return name == "bookmark.txt" || name == "sitesearch.txt" || name.ends_with("_mailfile.txt");
}

}  // namespace

// Marks a launch command as running for its whole length. When the
// outermost one ends, however it ends, its search result file is closed and
// no request of it is left to complete later.
class WebRobot::LaunchScope {
 public:
  explicit LaunchScope(WebRobot& robot) : robot_(robot) { ++robot_.launches_; }
  ~LaunchScope() {
    if (--robot_.launches_ > 0) return;
    robot_.resultFile_.Close();
    robot_.fetcher_.Abandon();
  }
  LaunchScope(const LaunchScope&) = delete;
  LaunchScope& operator=(const LaunchScope&) = delete;

 private:
  WebRobot& robot_;
};

// A search started while no other runs begins with every stop mark clear and
// no request of an earlier search in flight, so that a Stop never disables
// the next search. One started while another is still running (Enter in the
// address box during a crawl) keeps the marks: it fetches nothing, and the
// two never interleave.
void WebRobot::BeginSearch() {
  if (launches_ > 1) return;
  state_.StopRequested = 0;
  state_.StopPressed = false;
  ctx_.FetchAborted = false;
  fetcher_.Abandon();
}

std::filesystem::path WebRobot::SearchResultPath() const {
  return SearchResultFile::PathFor(ctx_.programDirectory, state_.ResultBaseName);
}

std::filesystem::path WebRobot::SearchedReportPath() const {
  return ctx_.programDirectory / (state_.ResultBaseName + "_searched.htm");
}

bool WebRobot::AskUrlFile(std::string_view title, std::string_view filter) {
  FileDialogSpec spec;
  spec.title = std::string(title);
  spec.filter = std::string(filter);
  const std::optional<std::string> chosen = host_.OpenFileDialog(spec);
  if (!chosen) return false;
  // The name must leave something to name the search's files after.
  if (!ResultBaseNameOf(std::filesystem::path(*chosen).filename().string())) {
    host_.MsgBox("The file name must be longer than four characters: the search's files are named after it "
                 "without its last four.",
                 MsgButtons::Ok, MsgIcon::Critical, "Invalid URL file");
    return false;
  }
  state_.UrlFilePath = *chosen;
  // A search begins (unless one runs already): its first failed write will
  // be told.
  if (launches_ <= 1) ctx_.writeFailures.NewSearch();
  return true;
}

void WebRobot::DeriveResultBaseName() {
  state_.ResultBaseName =
      ResultBaseNameOf(std::filesystem::path(state_.UrlFilePath).filename().string()).value_or(std::string());
}

void WebRobot::CollectionFolderQuestion() {
  if (form_.chkSave || form_.chkPix || form_.chkEmail || form_.chkLinks) savedirs();
}

void WebRobot::AppendToResultFile(std::string_view line) {
  // Into this search's own file, never into one an earlier search left open.
  if (!resultFile_.IsOpen() || resultFile_.Path() != SearchResultPath()) resultFile_.Open(SearchResultPath());
  resultFile_.WriteSection(line);
}

void WebRobot::ShowResultFile() { form_.BrowserLocation = SearchResultPath().string(); }

void WebRobot::BeginEngineRun() {
  EnterRunningState();
  DeriveResultBaseName();
  FreshAnalyst();
  resultFile_.Open(SearchResultPath());
  AppendToResultFile("<HTML>");
  CollectionFolderQuestion();
}

void WebRobot::FreshAnalyst() {
  ctx_.analyst = std::make_unique<clsDocumentAnalyst>(host_, state_);
  ctx_.analyst->Init(form_.txtSearchString);
}

void WebRobot::EnterRunningState() {
  form_.mnuPerformSearchEnabled = false;
  form_.mnuStopSearchEnabled = true;
  form_.btnSearchEnabled = false;
  form_.btnStopEnabled = true;
}

void WebRobot::FinishSteps() {
  form_.txtURLEnabled = true;
  form_.mnuPerformSearchEnabled = true;
  form_.mnuStopSearchEnabled = false;
  form_.btnSearchEnabled = true;
  host_.ShowStatus(1, "Finished..... ");
  host_.SetMousePointer(MousePointer::Default);
  AppendToResultFile("</Body>");
  AppendToResultFile("</HTML>");
  resultFile_.Close();
  form_.btnStopEnabled = false;
  form_.tmrBusyEnabled = false;
  state_.Busy = false;
  state_.Searching = false;
}

void WebRobot::BlockingFetchAndCut(const std::string& address) {
  form_.txtURL = address;
  fetcher_.AbleToGetWebDocument(address);
  cut_.Cut();
}

// ---- commands ----

void WebRobot::tbToolbar_ButtonClick(std::string_view key) {
  if (key == "btnStop") {
    ctx_.FetchAborted = true;
    StopCommon();
    form_.btnSearchEnabled = true;
    tree_.Root()->RemoveLinks();
    form_.tmrBusyEnabled = false;
    host_.SetMousePointer(MousePointer::Default);
    return;
  }
  if (key != "btnSearch") return;
  const LaunchScope launch(*this);
  state_.StopRequested = 0;
  state_.SpideredFilePath.clear();
  state_.OpenedPagePath.clear();
  if (!AskUrlFile(kUrlFileTitle, kTextFilter)) return;
  DeriveResultBaseName();
  // The searched report starts over, holding one empty line.
  harvest::AtomicFile searched(SearchedReportPath());
  searched.WriteLine("");
  searched.Commit();
  if (form_.OpenedPageWaiting) {
    HarvestAndSaveOpenedPage();
  } else {
    CollectionFolderQuestion();
    MainSearchRoutine();
  }
  host_.SetMousePointer(MousePointer::Default);
}

void WebRobot::mnuPerformSearch_Click() {
  const LaunchScope launch(*this);
  state_.StopRequested = 0;
  if (!AskUrlFile("Open/Create New file", kTextFilter)) return;
  MainSearchRoutine();
  host_.SetMousePointer(MousePointer::Default);
}

void WebRobot::Command1_Click() {
  const LaunchScope launch(*this);
  AllRun();
}

void WebRobot::Command2_Click() {
  const LaunchScope launch(*this);
  if (form_.txtSearchString.empty()) {
    host_.MsgBox("You must enter a valid search expression!", MsgButtons::Ok, MsgIcon::None, "");
    return;
  }
  form_.chkStay = false;
  for (int n = 1; n <= kEngineListCount; ++n) form_.Combo(n).clear();
  tree_.Root()->RemoveLinks();
  form_.OpenedPageWaiting = true;
  state_.StopRequested = 0;
  if (!AskUrlFile("Open URL file", "HTML (*.htm)|*.htm")) return;
  const std::optional<std::string> page = ReadWholeFile(state_.UrlFilePath);
  form_.txtOutput = page.value_or(std::string());
  form_.BrowserLocation = state_.UrlFilePath;
  DeriveResultBaseName();
  state_.SpideredFilePath = (ctx_.programDirectory / ("spidered_" + state_.ResultBaseName + ".htm")).string();
  {
    harvest::AtomicFile spidered(state_.SpideredFilePath);
    spidered.WriteLine("");
    spidered.Commit();
  }
  state_.OpenedPagePath = state_.UrlFilePath;
  // Matching pages are recorded in a URL file of the program directory named
  // after the page, never appended to the page the user opened, nor to a file
  // the program keeps for itself: such a name gets "_page" added (as often as
  // needed), and the search's other files are named after that.
  std::string urlFileBase = state_.ResultBaseName;
  while (IsProgramsOwnUrlFileName(urlFileBase + ".txt")) urlFileBase += "_page";
  state_.UrlFilePath = (ctx_.programDirectory / (urlFileBase + ".txt")).string();
  // Pictures and pages of this search are saved where the user says, as in
  // every other search.
  CollectionFolderQuestion();
  HarvestAndSaveOpenedPage();
  MainSearchRoutine();
  host_.SetMousePointer(MousePointer::Default);
}

void WebRobot::HarvestAndSaveOpenedPage() {
  // The harvest empties the page text; the picture scan reads its own copy.
  const std::string page = form_.txtOutput;
  form_.PageText = page;
  harvester_.Harvest();
  if (const std::error_code error = harvester_.LastWriteError())
    ctx_.writeFailures.Report(harvester_.AddressFilePath(), error);
  pictures_.ScanPictures(page);
  form_.OpenedPageWaiting = false;
}

void WebRobot::mnuFileSearch_Click() {
  const LaunchScope launch(*this);
  state_.StopRequested = 0;
  resultFile_.Close();
  form_.Combo1 = std::string(kAllEngines);
  if (!AskUrlFile("Save to URL file", kTextFilter)) return;
  BeginSearch();
  BeginEngineRun();

  std::ifstream list(ctx_.programDirectory / "sitesearch.txt", std::ios::binary);
  if (!list) {
    host_.MsgBox("Cannot open sitesearch.txt", MsgButtons::Ok, MsgIcon::Exclamation, "File Search");
  }
  std::string line;
  while (list && std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    resultFile_.Close();
    ShowResultFile();
    resultFile_.Open(SearchResultPath());
    const std::size_t at = text::InStrNoCase(1, line, "txtSearchString");
    // A line without the placeholder ends the list.
    if (at == 0) break;
    const std::string address = line.substr(0, at - 1) + form_.txtSearchString +
                                line.substr(at - 1 + std::string_view("txtSearchString").size());
    BlockingFetchAndCut(address);
    ShowResultFile();
  }
  FinishSteps();
  resultFile_.Close();
}

void WebRobot::mnuEngineResult_Click() { ShowResultFile(); }

void WebRobot::mnuSearchUrl_Click() { form_.BrowserLocation = SearchedReportPath().string(); }

void WebRobot::mnuOpenPage_Click() {
  FileDialogSpec spec;
  spec.title = "Openfile";
  spec.initialName = "*.htm";
  spec.filter = "HTML Page (*.htm)|*.htm|Active Server Page (*.asp)|*.asp|All Files (*.*)|*.*";
  const std::optional<std::string> chosen = host_.OpenFileDialog(spec);
  if (!chosen) return;
  const std::string page = ReadWholeFile(*chosen).value_or(std::string());
  form_.PageText = page;
  form_.txtURL = *chosen;
  form_.txtOutput = page;
  form_.OpenedPageWaiting = true;
  form_.BrowserLocation = *chosen;
}

void WebRobot::txtURL_KeyPress(int keyAscii) {
  if (keyAscii != 13) return;
  const LaunchScope launch(*this);
  state_.StopRequested = 0;
  if (!AskUrlFile(kUrlFileTitle, kTextFilter)) return;
  fetcher_.Abandon();
  inet2_.Cancel();
  ctx_.FetchAborted = true;
  state_.StopPressed = true;
  form_.mnuStopSearchEnabled = false;
  form_.btnStopEnabled = false;
  MainSearchRoutine();
}

void WebRobot::Combo1_Click() { Combo1SelectionChanged(form_, ffaPicker_, host_, state_); }

// ---- routines ----

void WebRobot::MainSearchRoutine() {
  const std::optional<std::int16_t> depth = crawl_.ValidateSearchDepth();
  if (!depth) return;
  BeginSearch();
  if (AllEnginesChosen(form_)) {
    AllRun();
    return;
  }
  DeriveResultBaseName();
  {
    SearchResultFile opening;
    opening.Open(state_.SpideredFilePath.empty() ? SearchResultPath()
                                                 : std::filesystem::path(state_.SpideredFilePath));
    opening.WriteSection("<HTML>");
    opening.WriteSection("<h2><center>SEARCH RESULT</center></h2>");
  }
  const EngineRecord* engine = ResolveEngine(form_);
  if (engine != nullptr && engine->mode == EngineMode::Direct) {
    DirectModeRun(*engine);
    // These two go on to crawl from their query address (while the stop
    // their run ended with is still set).
    if (engine->name == "SoftSeek" || engine->name == "Jobs") CrawlFrom(*depth, engine, true);
    return;
  }
  if (engine != nullptr) {
    form_.txtURL = BuildQueryAddress(*engine, endpoints_, form_.txtSearchString, state_.FfaCategoryNumber,
                                     state_.SearchOption);
  }
  CrawlFrom(*depth, engine, false);
}

void WebRobot::CrawlFrom(std::int16_t depth, const EngineRecord* engine, bool continuation) {
  // The picture suffix goes on the crawl way only.
  if (continuation) {
    if (form_.chkPix) form_.txtSearchString += kPictureSuffix;
  } else {
    AppendPictureSuffix(form_, engine);
  }
  if (!state_.SpideredFilePath.empty()) {
    form_.txtURL = state_.OpenedPagePath;
  } else if (form_.txtURL.empty()) {
    host_.MsgBox("No URL inserted!", MsgButtons::Ok, MsgIcon::Exclamation, "");
    return;
  } else {
    std::string address = form_.txtURL;
    if (!HandyStuff::CheckAddress(address)) {
      host_.MsgBox("Please enter a valid URL", MsgButtons::Ok, MsgIcon::Critical, "Invalid URL");
      return;
    }
    form_.txtURL = address;
  }
  resultFile_.Open(SearchResultPath());
  if (state_.Busy) return;

  const std::string ext = text::LCase(text::Trim(HandyStuff::UrlExtension(form_.txtURL)));
  if (ext == "gif" || ext == "jpg") {
    // A picture as the start address is downloaded, not crawled.
    const std::string bytes = inet1_.OpenURL(form_.txtURL, Inet::kBytes);
    const int status = inet1_.StatusCode();
    if (status >= 200 && status < 300) {
      const std::filesystem::path folder = ctx_.SaveFolder();
      const std::string name = HandyStuff::FileNamePart(form_.txtURL);
      std::error_code error;
      if (harvest::SaveIntoFolder(folder, name, bytes, &error).empty())
        ctx_.writeFailures.Report(folder / harvest::SafeFileName(name), error);
    }
    return;
  }

  state_.Busy = true;
  form_.tmrBusyEnabled = true;
  host_.SetMousePointer(MousePointer::Busy);
  form_.txtURLEnabled = false;
  form_.mnuPerformSearchEnabled = false;
  form_.mnuStopSearchEnabled = true;
  form_.btnSearchEnabled = false;
  form_.btnStopEnabled = true;
  crawl_.StartCrawl(form_.txtURL, depth);
  FinishSteps();
}

void WebRobot::DirectModeRun(const EngineRecord& engine) {
  FreshAnalyst();
  const bool asksOption = engine.name == "Search The Net" || engine.name == "Programming";
  if (!asksOption && engine.name != "VB") {
    DeriveResultBaseName();
    AppendToResultFile("<HTML>");
    resultFile_.Close();
    CollectionFolderQuestion();
  }
  if (asksOption) AskSearchOption(engine, optionsPicker_, host_, state_);
  ShowResultFile();
  resultFile_.Open(SearchResultPath());
  // The fetch cuts the page once, and the run cuts the cut section again.
  BlockingFetchAndCut(
      BuildQueryAddress(engine, endpoints_, form_.txtSearchString, state_.FfaCategoryNumber, state_.SearchOption));
  FinishSteps();
  state_.StopRequested = 1;
  ShowResultFile();
}

void WebRobot::AllRun() {
  state_.StopRequested = 0;
  if (form_.Combo1 != kAllEngines) form_.Combo1 = std::string(kAllEngines);
  if (!AskUrlFile(kUrlFileTitle, kTextFilter)) return;
  BeginSearch();
  BeginEngineRun();

  const EngineList& list = EngineListAt(1);
  const auto all = std::find(list.items.begin(), list.items.end(), kAllEngines);
  for (auto item = all; item != list.items.end(); ++item) {
    resultFile_.Close();
    ShowResultFile();
    resultFile_.Open(SearchResultPath());
    form_.Combo1 = std::string(*item);
    Combo1_Click();
    if (std::find(kAllRunEngines.begin(), kAllRunEngines.end(), *item) != kAllRunEngines.end()) {
      if (const EngineRecord* engine = FindEngine(1, *item)) {
        BlockingFetchAndCut(BuildQueryAddress(*engine, endpoints_, form_.txtSearchString,
                                              state_.FfaCategoryNumber, state_.SearchOption));
      }
    }
    if (state_.StopIsRequested()) break;
  }
  FinishSteps();
}

}  // namespace zorvik
