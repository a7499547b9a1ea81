#pragma once
// Takes the links out of a fetched page and files each new address under the
// page's node: text pages in its Links, everything else in its Resources.
// Plain text search over the lower-cased page: an attribute name anywhere,
// then the next double-quoted value before the tag's ">". Relative values are
// joined to the page's server or directory by plain concatenation.

#include <cstddef>
#include <string>
#include <string_view>

namespace zorvik {

class PageFetcher;
class ResultSectionCut;
class RobotsGate;
class clsHTMLPageResourceNode;
struct RobotContext;

namespace harvest {
class ReportFiles;
}

// The next double-quoted value after `attribute`, searching from `pos`
// (1-based). On a value, `pos` is left just after its opening quote. With no
// value (single quotes, no quotes, empty quotes) the result is empty and `pos`
// moves to the tag's ">" (0 when there is none); with no further attribute
// `pos` becomes 0.
std::string NextQuotedValue(std::string_view text, std::size_t& pos, std::string_view attribute);

// The address a link value stands for on a page with this server and
// directory: a value without ":" joined to the server (when it begins with
// "/") or the directory, an absolute "http" value (or "https" one, when
// followed) as it is. Empty when the scheme is not taken, and when the value
// holds a control character (a line break inside the quotes): such a value
// is no address, and would split the one-per-line files it is written to.
std::string ResolveLinkValue(std::string_view value, std::string_view server, std::string_view directory,
                             bool followHttps);

class LinkExtractor {
 public:
  LinkExtractor(RobotContext& context, PageFetcher& fetcher, ResultSectionCut& cut, harvest::ReportFiles& reports,
                RobotsGate& robots)
      : ctx_(context), fetcher_(fetcher), cut_(cut), reports_(reports), robots_(robots) {}

  // Scans `text` (the page, lower-cased) for `attribute` ("href" or "src"),
  // probes every address found and adds those not yet in the tree to `node`.
  void ExtractLinks(std::string_view text, std::string_view attribute, clsHTMLPageResourceNode& node);

  // ResolveLinkValue with the robot's options.
  std::string Resolve(std::string_view value, std::string_view server, std::string_view directory) const;

 private:
  RobotContext& ctx_;
  PageFetcher& fetcher_;
  ResultSectionCut& cut_;
  harvest::ReportFiles& reports_;
  RobotsGate& robots_;
};

}  // namespace zorvik
