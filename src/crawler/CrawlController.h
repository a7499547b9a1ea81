#pragma once
// The crawl: from one start address, depth-first to a fixed depth. Each page
// is fetched, tested, shown in the tree with an image telling the outcome,
// its links and resources are extracted, and the crawl descends into its text
// links in page order, waiting after every fetch until more than the
// politeness interval (15 seconds) has passed.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "crawler/clsDiplomat.h"
#include "crawler/clsHTMLPageResourceNode.h"

namespace zorvik {

class LinkExtractor;
class PageFetcher;
class ResourceTree;
class RobotsGate;
struct RobotContext;

class CrawlController {
 public:
  CrawlController(RobotContext& context, ResourceTree& tree, PageFetcher& fetcher, LinkExtractor& links,
                  RobotsGate& robots)
      : ctx_(context), tree_(tree), fetcher_(fetcher), links_(links), robots_(robots) {}

  // The depth in the "Levels to search" box: a number rounded to the nearest
  // integer (halves to the even one) that is at least 1 and fits 16 bits.
  // Anything else shows a message and gives nothing.
  std::optional<std::int16_t> ValidateSearchDepth();
  // The up/down buttons: one level more (at most 999) or less (at least 1).
  void udSearchDepth_UpClick();
  void udSearchDepth_DownClick();

  // Crawls from `address` to `depth` levels with the expression in the
  // search box. An address already in the tree is crawled from its node.
  void StartCrawl(std::string_view address, std::int16_t depth);

  // One step of the crawl.
  void CrawlNode(const ResourceNodePtr& node, std::int16_t depth, std::shared_ptr<clsDiplomat> diplomat);

  // A fresh diplomat, or nothing while a fetch is aborted.
  std::shared_ptr<clsDiplomat> DispatchNewDiplomat();

  // When the last fetch of the crawl succeeded.
  std::optional<std::chrono::system_clock::time_point> LastFetchTime() const { return lastFetch_; }
  // Pages the crawl steps fetched (link probes not counted).
  std::size_t PagesFetched() const { return pagesFetched_; }
  // The last crawl's start page, when it could not be fetched, and why
  // ("Excluded by robots.txt", "Cannot connect", "HTTP/1.1 404 Not Found",
  // ...); nothing when it was fetched, or when a stop ended its fetch.
  struct Failure {
    std::string address;
    std::string why;
  };
  const std::optional<Failure>& StartFailure() const { return startFailure_; }

 private:
  // Yields until more second boundaries than the pause for `address` have
  // passed since the last fetch, or a stop is requested.
  void WaitBeforeFetching(std::string_view address);
  // Notes why `node` failed when it is the start page.
  void NoteFailure(const clsHTMLPageResourceNode& node, std::string why);

  RobotContext& ctx_;
  ResourceTree& tree_;
  PageFetcher& fetcher_;
  LinkExtractor& links_;
  RobotsGate& robots_;
  std::optional<std::chrono::system_clock::time_point> lastFetch_;
  std::size_t pagesFetched_ = 0;
  const clsHTMLPageResourceNode* startNode_ = nullptr;
  std::optional<Failure> startFailure_;
};

}  // namespace zorvik
