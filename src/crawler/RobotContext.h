#pragma once
// What the parts of a crawl share: the desktop, the robot window's control
// values, the search state, the fetch marks, the analyst of the running
// crawl, the program directory and the collection folder, the files that
// could not be written, and the options a user may change. The robot model owns one and hands it to the fetcher, the
// link extraction and the crawl controller.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "core/WriteFailures.h"
#include "query/clsDocumentAnalyst.h"

namespace zorvik {

class Host;
struct RobotForm;
struct SearchState;

struct RobotOptions {
  // Consult each server's robots.txt before fetching from it.
  bool obeyRobotsTxt = true;
  // Take absolute "https" links like "http" ones.
  bool followHttps = false;
  // "Fetch each page once": within one search an address read before is not
  // requested again; its earlier answer serves, and a page is recorded once.
  bool fetchOnce = false;
  // Second boundaries that must pass after a fetch before the next descent.
  std::chrono::seconds politeness{15};
};

struct RobotContext {
  RobotContext(Host& h, RobotForm& f, SearchState& s, std::filesystem::path programDir)
      : host(h), form(f), state(s), writeFailures(h), programDirectory(std::move(programDir)) {}

  Host& host;
  RobotForm& form;
  SearchState& state;

  // Marks of the fetch in progress.
  bool FetchDone = false;
  bool FetchAborted = false;
  bool IsPicture = false;

  // Writes that failed: the first of a search is told to the user.
  WriteFailures writeFailures;

  // The page test of the running crawl; made at each crawl start.
  std::unique_ptr<clsDocumentAnalyst> analyst;

  std::filesystem::path programDirectory;
  // Where saved pages and pictures go, ending in a separator once chosen;
  // empty until the user picks one.
  std::string collectionFolder;

  RobotOptions options;

  // The folder files are saved into: the collection folder once chosen,
  // else the folder "collection" of the program directory (made when
  // needed); never the program directory itself, whose files a page or
  // picture named like them would replace.
  std::filesystem::path SaveFolder() const {
    if (!collectionFolder.empty()) return collectionFolder;
    const std::filesystem::path folder = programDirectory / "collection";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
  }
};

}  // namespace zorvik
