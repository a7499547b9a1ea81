#include "crawler/LinkExtraction.h"

#include "core/Host.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "crawler/AddressHelpers.h"
#include "crawler/PageFetcher.h"
#include "crawler/RobotContext.h"
#include "crawler/RobotsGate.h"
#include "crawler/clsHTMLPageResourceNode.h"
#include "engines/ResultSectionCut.h"
#include "harvest/AddressHarvester.h"
#include "harvest/ReportFiles.h"

namespace zorvik {

using text::InStr;

std::string NextQuotedValue(std::string_view text, std::size_t& pos, std::string_view attribute) {
  pos = InStr(pos, text, attribute);
  if (pos == 0) return {};
  const std::size_t gt = InStr(pos, text, ">");
  const std::size_t q1 = InStr(pos, text, "\"");
  pos = q1;
  if (q1 == 0) return {};
  pos = q1 + 1;
  const std::size_t q2 = InStr(pos, text, "\"");
  if (pos < q2 && q2 < gt) return std::string(text.substr(pos - 1, q2 - pos));
  pos = gt;
  return {};
}

std::string ResolveLinkValue(std::string_view value, std::string_view server, std::string_view directory,
                             bool followHttps) {
  if (value.empty() || text::HasControlCharacter(value)) return {};
  const std::size_t colon = value.find(':');
  if (colon == std::string_view::npos) {
    return std::string(value.front() == '/' ? server : directory) + std::string(value);
  }
  const std::string_view scheme = value.substr(0, colon);
  if (scheme == "http" || (scheme == "https" && followHttps)) return std::string(value);
  return {};
}

std::string LinkExtractor::Resolve(std::string_view value, std::string_view server,
                                   std::string_view directory) const {
  return ResolveLinkValue(value, server, directory, ctx_.options.followHttps);
}

void LinkExtractor::ExtractLinks(std::string_view text, std::string_view attribute,
                                 clsHTMLPageResourceNode& node) {
  if (ctx_.state.StopIsRequested()) return;
  cut_.LinkPassCut(text);
  node.SetPageURL(text::LCase(node.PageURL()));
  const std::string dir = HandyStuff::DirectoryPart(node.PageURL());
  const std::string server = HandyStuff::ServerPart(node.PageURL());

  std::size_t pos = 1;
  while (!ctx_.state.StopWanted() && pos > 0) {
    const std::string value = NextQuotedValue(text, pos, attribute);
    if (value.empty()) continue;
    const std::string address = Resolve(value, server, dir);
    if (address.empty()) continue;
    if (ctx_.options.obeyRobotsTxt && !robots_.Allows(address)) {
      ctx_.host.ShowStatus(1, "Excluded by robots.txt");
      continue;
    }
    ResourceNodePtr child = clsHTMLPageResourceNode::Create(address, value);
    const HostCollection collection = fetcher_.SelectHostCollection(address);
    if (collection == HostCollection::None) continue;
    ResourceNodePtr found;
    if (node.Root()->AlreadyContains(ctx_.host, address, found)) continue;
    const bool added = collection == HostCollection::Links ? node.AddLink(child) : node.AddResource(child);
    if (added && value.find(':') != std::string::npos && ctx_.form.chkLinks) {
      if (const std::error_code error = harvest::AppendLine(reports_.LinksLogPath(), address)) {
        ctx_.writeFailures.Report(reports_.LinksLogPath(), error);
      } else if (!reports_.WriteLinksReport() && reports_.LastWriteError()) {
        ctx_.writeFailures.Report(reports_.LinksReportPath(), reports_.LastWriteError());
      }
    }
  }
}

}  // namespace zorvik
