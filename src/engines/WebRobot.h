#pragma once
// The robot window without its widgets: the values of its controls, its
// transfer components, the resource tree and its view, the analyst of the
// running crawl, the counters, and the commands its menus, buttons and tree
// run. The window mirrors it; tests and the command-line tool drive it
// directly.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/RobotForm.h"
#include "crawler/CrawlController.h"
#include "crawler/CurlInet.h"
#include "crawler/LinkExtraction.h"
#include "crawler/PageFetcher.h"
#include "crawler/ResourceTree.h"
#include "crawler/RobotContext.h"
#include "crawler/RobotsGate.h"
#include "engines/EngineCatalogue.h"
#include "engines/EngineEndpoints.h"
#include "engines/Pickers.h"
#include "engines/ResultSectionCut.h"
#include "engines/SearchResultFile.h"
#include "harvest/AddressHarvester.h"
#include "harvest/PictureScan.h"
#include "harvest/ReportFiles.h"

namespace zorvik {

class Host;
struct SearchState;

class WebRobot {
 public:
  // Loads the engine endpoints from the program directory and makes the
  // tree's root, as the window does when it loads.
  WebRobot(Host& host, SearchState& state, std::filesystem::path programDirectory, InetSettings inet = {});
  ~WebRobot();
  WebRobot(const WebRobot&) = delete;
  WebRobot& operator=(const WebRobot&) = delete;

  RobotForm& Form() { return form_; }
  SearchState& State() { return state_; }
  RobotContext& Context() { return ctx_; }
  RobotOptions& Options() { return ctx_.options; }
  ResourceTree& Tree() { return tree_; }
  CrawlController& Crawl() { return crawl_; }
  PageFetcher& Fetcher() { return fetcher_; }
  LinkExtractor& Links() { return links_; }
  SearchResultFile& ResultFile() { return resultFile_; }
  EngineEndpoints& Endpoints() { return endpoints_; }
  harvest::AddressHarvester& Harvester() { return harvester_; }
  harvest::ReportFiles& Reports() { return reports_; }
  harvest::PictureScan& Pictures() { return pictures_; }
  RobotsGate& Robots() { return robots_; }
  Inet& Inet1() { return inet1_; }
  Inet& Inet2() { return inet2_; }
  const std::filesystem::path& ProgramDirectory() const { return ctx_.programDirectory; }

  // ---- starting and stopping searches ----
  // The toolbar's buttons by key: "btnSearch" (URL-file dialog, then the
  // main search routine, or only the harvest and picture scan of an opened
  // page while one is waiting) and "btnStop".
  void tbToolbar_ButtonClick(std::string_view key);
  // "&Perform Search": URL-file dialog titled "Open/Create New file", then
  // the main search routine.
  void mnuPerformSearch_Click();
  // "&Stop Search".
  void mnuStopSearch_Click();
  // The "All" run: every general engine's result section.
  void Command1_Click();
  // The open-page search: an HTML page from disk as the start of a crawl.
  void Command2_Click();
  // "&File Search": the site search over the lines of "sitesearch.txt".
  void mnuFileSearch_Click();
  // "Search Engine &Result" and "Search &URL's": the search result file and
  // the searched report in the browser pane.
  void mnuEngineResult_Click();
  void mnuSearchUrl_Click();
  // "&Open page": a page from disk into the page-text box, waiting for the
  // Search button to harvest and save it.
  void mnuOpenPage_Click();
  // A key in the address box: Enter (13) starts a search from it.
  void txtURL_KeyPress(int keyAscii);
  // The first engine list's selection changed (to its current text).
  void Combo1_Click();

  // The pickers the searches show.
  FfaCategoriesPicker& FfaPicker() { return ffaPicker_; }
  SearchOptionsPicker& OptionsPicker() { return optionsPicker_; }
  // The search result file and the searched report of the current search.
  std::filesystem::path SearchResultPath() const;
  std::filesystem::path SearchedReportPath() const;
  // "&New Search": a fresh tree root and a found counter of 0.
  void mnuNew_Click();
  void tvURLTreeView_NodeClick(std::string_view key);
  void udSearchDepth_UpClick() { crawl_.udSearchDepth_UpClick(); }
  void udSearchDepth_DownClick() { crawl_.udSearchDepth_DownClick(); }

  // The collection-folder chooser ("Save to....."): the folder picked, with
  // its trailing separator, becomes the collection folder; closing it
  // leaves the folder as it was. True when a folder was picked.
  bool savedirs();

  // Closing the window: the tree drops its children, the counters go to 0,
  // both transfers are cancelled.
  void Form_Unload();

 private:
  void StopCommon();
  // Pieces of the launch.
  bool AskUrlFile(std::string_view title, std::string_view filter);
  void DeriveResultBaseName();
  void CollectionFolderQuestion();
  void MainSearchRoutine();
  void DirectModeRun(const EngineRecord& engine);
  void AllRun();
  void CrawlFrom(std::int16_t depth, const EngineRecord* engine, bool continuation);
  void BlockingFetchAndCut(const std::string& address);
  void FinishSteps();
  void EnterRunningState();
  // The common start of the "All" run and the site search: running state,
  // result base name, a fresh analyst, the result file opened with its
  // "<HTML>", the collection-folder question.
  void BeginEngineRun();
  void AppendToResultFile(std::string_view line);
  void ShowResultFile();
  void HarvestAndSaveOpenedPage();
  void FreshAnalyst();
  // Where a search begins: see WebRobotLaunch.cpp.
  void BeginSearch();
  class LaunchScope;

  Host& host_;
  SearchState& state_;
  RobotForm form_;
  RobotContext ctx_;
  CurlInet inet1_;
  CurlInet inet2_;
  CurlInet robotsInet_;
  ResourceTree tree_;
  EngineEndpoints endpoints_;
  SearchResultFile resultFile_;
  ResultSectionCut cut_;
  harvest::AddressHarvester harvester_;
  harvest::ReportFiles reports_;
  harvest::PictureScan pictures_;
  RobotsGate robots_;
  PageFetcher fetcher_;
  LinkExtractor links_;
  CrawlController crawl_;
  FfaCategoriesPicker ffaPicker_;
  SearchOptionsPicker optionsPicker_;
  // Launch commands running now, the one running inside a yield of another
  // included.
  int launches_ = 0;
};

}  // namespace zorvik
