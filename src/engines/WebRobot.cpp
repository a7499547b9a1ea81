#include "engines/WebRobot.h"

#include "core/Host.h"
#include "core/SearchState.h"

namespace zorvik {

WebRobot::WebRobot(Host& host, SearchState& state, std::filesystem::path programDirectory, InetSettings inet)
    : host_(host),
      state_(state),
      ctx_(host, form_, state, std::move(programDirectory)),
      inet1_(host, inet),
      inet2_(host, inet),
      robotsInet_(host, inet),
      endpoints_(EngineEndpoints::Load(ctx_.programDirectory, host)),
      cut_(form_, state, endpoints_, resultFile_),
      harvester_(host, form_, state, ctx_.programDirectory),
      reports_(form_, state, ctx_.programDirectory),
      pictures_(host, form_, inet2_, [this] { return ctx_.SaveFolder(); }, &ctx_.writeFailures),
      robots_(host, robotsInet_, [this] { return ctx_.FetchAborted || state_.StopWanted(); }),
      fetcher_(ctx_, inet1_, cut_, harvester_, reports_),
      links_(ctx_, fetcher_, cut_, reports_, robots_),
      crawl_(ctx_, tree_, fetcher_, links_, robots_) {
  inet1_.StateChanged = [this](std::int16_t s) { fetcher_.Inet1_StateChanged(s); };
  // A write that failed stops the search when the user says so.
  ctx_.writeFailures.stop = [this] { StopCommon(); };
  resultFile_.ReportFailuresTo(&ctx_.writeFailures);
  inet2_.StateChanged = [this](std::int16_t s) { pictures_.Inet2_StateChanged(s); };
}

WebRobot::~WebRobot() {
  inet1_.StateChanged = nullptr;
  inet2_.StateChanged = nullptr;
}

void WebRobot::StopCommon() {
  state_.StopPressed = true;
  state_.StopRequested = 1;
  form_.mnuStopSearchEnabled = false;
  form_.btnStopEnabled = false;
  // The page being fetched and a robots file being read are abandoned, so
  // that neither can arrive later, into the next search.
  fetcher_.Abandon();
  robots_.Abandon();
}

void WebRobot::mnuStopSearch_Click() { StopCommon(); }

void WebRobot::mnuNew_Click() { tree_.NewSearch(form_); }

void WebRobot::tvURLTreeView_NodeClick(std::string_view key) { tree_.tvURLTreeView_NodeClick(key, form_, state_); }

bool WebRobot::savedirs() {
  const std::optional<std::string> folder = host_.ChooseFolder("Save to.....", ctx_.collectionFolder);
  if (!folder || folder->empty()) return false;
  std::string chosen = *folder;
  if (chosen.back() != '/') chosen += '/';
  ctx_.collectionFolder = std::move(chosen);
  return true;
}

void WebRobot::Form_Unload() {
  tree_.Root()->RemoveLinks();
  form_.FoundCount = 0;
  form_.SearchedCount = 0;
  fetcher_.Abandon();
  robots_.Abandon();
  inet2_.Cancel();
}

}  // namespace zorvik
