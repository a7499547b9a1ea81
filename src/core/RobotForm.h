#pragma once
// The values of the robot window's controls that several parts of the robot
// read and write: the address and expression boxes, the engine lists, the
// option boxes, the page-text box, the found list and the counters. The robot
// model owns one; the window mirrors it. Status panels go through
// Host::ShowStatus.

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

struct RobotForm {
  std::string txtURL;
  std::string txtSearchString;
  std::string txtSearchDepth = "2";

  // Current texts of the five engine lists (empty item = nothing chosen).
  std::string Combo1, Combo2, Combo3, Combo4, Combo5;

  bool chkSave = false;      // "Page(s)": save matching pages
  bool chkPix = false;       // "Picture(s)": save pictures
  bool chkEmail = false;     // "Email(s)": mailto address of matching pages
  bool chkExtEmail = false;  // "Ext. Email(s)": harvest addresses from every page
  bool chkLinks = false;     // "Links": log new links
  bool chkStay = false;      // "Stay within Domain"

  // Found pages and harvested addresses, in order of discovery.
  std::vector<std::string> List1;

  // The page-text box: the text of the page completed last (or the engine's
  // result section cut out of it).
  std::string txtOutput;
  // The copy of the finished page the address harvest and mailto scan use.
  std::string PageText;
  // Collects the body of the page being received, piece by piece.
  std::string PageAccumulator;

  // An opened page is waiting: the Search button only harvests and saves it.
  bool OpenedPageWaiting = false;

  // Found pages (or addresses) and searched pages. Wider than the 16 bits a
  // long crawl would overflow.
  std::int32_t FoundCount = 0;
  std::int32_t SearchedCount = 0;

  // The title of the page recorded last; kept when a page has none.
  std::string PageTitle;

  // What the browser pane was last asked to show (an address or a file path).
  std::string BrowserLocation;

  // Enabled states of the search commands, and whether the busy animation
  // runs.
  bool btnSearchEnabled = true;
  bool btnStopEnabled = false;
  bool mnuPerformSearchEnabled = true;
  bool mnuStopSearchEnabled = false;
  bool txtURLEnabled = true;
  bool tmrBusyEnabled = false;

  // The engine list n (1..5), or an empty string for any other n.
  const std::string& Combo(int n) const;
  std::string& Combo(int n);
};

// Set to 1 each time a report file has been written during this run; the
// internal browser chooses its first page by it.
int& ReportReadyMark();

}  // namespace zorvik
