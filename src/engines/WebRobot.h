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
#include "engines/EngineEndpoints.h"
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

  // The toolbar's buttons by key ("btnStop"; the search button comes with
  // the launch).
  void tbToolbar_ButtonClick(std::string_view key);
  // "&Stop Search".
  void mnuStopSearch_Click();
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
};

}  // namespace zorvik
