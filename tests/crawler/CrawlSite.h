#pragma once
// A small web site on 127.0.0.1 for crawl tests: pages linking each other
// with relative and absolute links (one broken over two lines), a picture, a
// 404, a robots.txt, a page with addresses and a mailto link. "{BASE}" in a page stands for the site's
// own "http://127.0.0.1:PORT". Every request's path is logged in order.

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestHttpServer.h"

namespace zorvik::testing {

class CrawlSite {
 public:
  struct Page {
    std::string type;
    std::string body;
    int status = 200;
  };

  CrawlSite();  // serves the standard site (see CrawlSite.cpp)
  void Set(std::string path, Page page);
  void Remove(const std::string& path);
  void Start() { server_.Start(); }

  std::string Base() const;
  std::string Url(std::string_view path) const { return server_.Url(path); }
  // Request paths in the order the site saw them (a query string included).
  std::vector<std::string> Requests() const;
  void ClearRequests();
  // From its n-th request on, `path` answers only once released (or after
  // 5 s): a transfer that is still running when a test acts.
  void StallFrom(std::string path, int n);
  void Release() { server_.Release(); }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Page> pages_;
  std::vector<std::string> requests_;
  std::string stallPath_;
  int stallFrom_ = 0;
  // Last: stopped (and its handlers finished) before the pages go.
  TestHttpServer server_;
};

}  // namespace zorvik::testing
