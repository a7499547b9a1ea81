#pragma once
// Search state shared by the robot window, the crawl and the page test. It
// lives for the program's run and is never saved.

#include <cstdint>
#include <string>

namespace zorvik {

struct SearchState {
  // 1 = stop. Set by the stop commands and at the end of a direct run,
  // cleared when a search starts.
  std::int16_t StopRequested = 0;
  // The robot window's own stop mark, tested together with StopRequested.
  bool StopPressed = false;
  bool Busy = false;       // a crawl or blocking fetch is running
  bool Searching = false;  // a crawl is running
  std::string UrlFilePath;
  std::string ResultBaseName;
  std::string SpideredFilePath;  // set only by the open-page search
  std::string OpenedPagePath;    // set only by the open-page search
  std::string FfaCategoryNumber;
  std::string SearchOption;

  bool StopIsRequested() const { return StopRequested == 1; }
  // Either stop indicator set: what the crawl's loops test.
  bool StopWanted() const { return StopRequested == 1 || StopPressed; }
};

// The process-wide instance the program runs with. Logic classes take a
// SearchState& so that tests can give each case a fresh one.
SearchState& ProcessSearchState();

}  // namespace zorvik
