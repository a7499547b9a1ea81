#include "crawler/CrawlController.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "core/Host.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "crawler/AddressHelpers.h"
#include "crawler/LinkExtraction.h"
#include "crawler/PageFetcher.h"
#include "crawler/ResourceTree.h"
#include "crawler/RobotContext.h"
#include "crawler/RobotsGate.h"

namespace zorvik {

namespace {

constexpr std::int16_t kMaxDepth = 999;
constexpr std::chrono::milliseconds kWaitSlice{100};

// A plain decimal number, possibly with a fraction and an exponent, with
// blanks around it.
std::optional<double> NumericValue(std::string_view text) {
  const std::string_view t = text::Trim(text);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  return std::strtod(std::string(t).c_str(), nullptr);
}

std::int64_t WholeSeconds(std::chrono::system_clock::time_point t) {
  return std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
}

}  // namespace

std::optional<std::int16_t> CrawlController::ValidateSearchDepth() {
  if (const std::optional<double> value = NumericValue(ctx_.form.txtSearchDepth)) {
    // Halves go to the even neighbour, as the default rounding mode does.
    const double rounded = std::nearbyint(*value);
    if (std::isfinite(rounded) && rounded >= 1 && rounded <= 32767) return static_cast<std::int16_t>(rounded);
  }
  ctx_.host.MsgBox("Please enter an integer value for Search Depth.", MsgButtons::Ok, MsgIcon::Critical,
                   "Invalid Search Depth");
  return std::nullopt;
}

void CrawlController::udSearchDepth_UpClick() {
  if (const auto depth = ValidateSearchDepth()) {
    ctx_.form.txtSearchDepth = std::to_string(HandyStuff::SmallerOf(*depth + 1, kMaxDepth));
  }
}

void CrawlController::udSearchDepth_DownClick() {
  if (const auto depth = ValidateSearchDepth()) {
    ctx_.form.txtSearchDepth = std::to_string(HandyStuff::LargerOf(*depth - 1, 1));
  }
}

std::shared_ptr<clsDiplomat> CrawlController::DispatchNewDiplomat() {
  if (ctx_.FetchAborted) return nullptr;
  return std::make_shared<clsDiplomat>();
}

void CrawlController::StartCrawl(std::string_view address, std::int16_t depth) {
  ctx_.analyst = std::make_unique<clsDocumentAnalyst>(ctx_.host, ctx_.state);
  ctx_.analyst->Init(ctx_.form.txtSearchString);
  ctx_.state.StopPressed = false;
  ctx_.IsPicture = false;
  ctx_.state.Searching = true;
  robots_.Reset();
  fetcher_.ForgetEarlierReads();
  startFailure_.reset();

  const ResourceNodePtr root = tree_.Root();
  ResourceNodePtr node;
  if (root->AlreadyContains(ctx_.host, address, node)) {
    startNode_ = node.get();
    if (auto diplomat = DispatchNewDiplomat()) CrawlNode(node, depth, std::move(diplomat));
  } else {
    node = clsHTMLPageResourceNode::Create(std::string(address), std::string(address));
    startNode_ = node.get();
    if (auto diplomat = DispatchNewDiplomat()) {
      root->AddLink(node);
      CrawlNode(node, depth, std::move(diplomat));
    }
  }
  startNode_ = nullptr;
  // Pages kept for a visit that a stop cut short go now.
  fetcher_.ForgetEarlierReads();
}

void CrawlController::NoteFailure(const clsHTMLPageResourceNode& node, std::string why) {
  if (&node != startNode_ || ctx_.FetchAborted || ctx_.state.StopWanted()) return;
  startFailure_ = Failure{node.PageURL(), why.empty() ? std::string("No answer") : std::move(why)};
}

void CrawlController::WaitBeforeFetching(std::string_view address) {
  double pause = static_cast<double>(ctx_.options.politeness.count());
  if (ctx_.options.obeyRobotsTxt) {
    if (const auto delay = robots_.CrawlDelayFor(address); delay && *delay > pause) pause = *delay;
  }
  if (pause <= 0 || !lastFetch_) return;
  const std::int64_t last = WholeSeconds(*lastFetch_);
  while (!ctx_.state.StopWanted() && static_cast<double>(WholeSeconds(ctx_.host.Now()) - last) <= pause) {
    ctx_.host.WaitEvents(kWaitSlice);
  }
}

void CrawlController::CrawlNode(const ResourceNodePtr& node, std::int16_t depth,
                                std::shared_ptr<clsDiplomat> diplomat) {
  RobotForm& form = ctx_.form;
  // The page test of a page answered from an earlier read without its text.
  std::optional<bool> earlierMatch;
  if (ctx_.state.SpideredFilePath.empty()) {
    if (diplomat && diplomat->NewServerURL(node->PageURL())) diplomat = DispatchNewDiplomat();
    if (ctx_.options.obeyRobotsTxt && !robots_.Allows(node->PageURL())) {
      ctx_.host.ShowStatus(1, "Excluded by robots.txt");
      NoteFailure(*node, "Excluded by robots.txt");
      tree_.AddNodeToTreeView(*node, kImageFailed);
      return;
    }
    bool ended = false;
    if (const auto earlier = fetcher_.TakeEarlierRead(node->PageURL(), depth > 1)) {
      ended = earlier->ended;
      earlierMatch = earlier->matches;
    } else {
      ended = fetcher_.AbleToGetWebDocument(node->PageURL());
      if (ended) {
        lastFetch_ = ctx_.host.Now();
        ++pagesFetched_;
      }
    }
    if (!ended) {
      NoteFailure(*node, fetcher_.FailureText());
      tree_.AddNodeToTreeView(*node, kImageFailed);
      return;
    }
    if (form.chkStay) return;
  }

  node->PageMatches =
      earlierMatch ? *earlierMatch : ctx_.analyst && ctx_.analyst->DocumentMatches(form.txtOutput);
  const std::int16_t image = node->PageMatches                              ? kImageMatch
                             : node->LinkText.find("://") != std::string::npos ? kImageAbsolute
                                                                               : kImageRelative;
  tree_.AddNodeToTreeView(*node, image);
  if (depth <= 1) return;
  if (ctx_.state.StopWanted()) {
    ctx_.host.SetMousePointer(MousePointer::Default);
    ctx_.host.ShowStatus(1, "Ready ");
    return;
  }

  {
    // The lower-cased page lives only while its links are taken, so that
    // the descent below holds no page per level.
    const std::string page = text::LCase(form.txtOutput);
    // Reading each page once, the children that will be expanded in turn
    // keep the text their probe read.
    fetcher_.KeepProbedPages(ctx_.options.fetchOnce && depth - 1 > 1);
    links_.ExtractLinks(page, "href", *node);
    links_.ExtractLinks(page, "src", *node);
  }

  // The collections are read by position: a Stop inside a yield may empty
  // them under this loop.
  for (std::size_t i = 0; i < node->Resources().Count(); ++i) {
    ctx_.host.DoEvents();
    if (ctx_.state.StopWanted() || i >= node->Resources().Count()) break;
    const ResourceNodePtr resource = node->Resources()[i];
    tree_.AddNodeToTreeView(*resource, kImageResource);
  }
  for (std::size_t i = 0; i < node->Links().Count(); ++i) {
    ctx_.host.DoEvents();
    if (ctx_.state.StopWanted() || i >= node->Links().Count()) break;
    const ResourceNodePtr child = node->Links()[i];
    // A page answered from an earlier read is not requested: no pause.
    if (!fetcher_.HasEarlierRead(child->PageURL(), depth - 1 > 1)) WaitBeforeFetching(child->PageURL());
    if (ctx_.state.StopWanted()) break;
    CrawlNode(child, static_cast<std::int16_t>(depth - 1), diplomat);
  }

  if (ctx_.state.StopWanted()) {
    ctx_.host.MsgBox("Search was Cancelled!.", MsgButtons::Ok, MsgIcon::Exclamation, "");
    ctx_.host.SetMousePointer(MousePointer::Default);
    ctx_.host.ShowStatus(1, "Search Cancelled");
  }
}

}  // namespace zorvik
