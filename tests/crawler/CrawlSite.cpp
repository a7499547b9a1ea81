#include "CrawlSite.h"

#include <algorithm>

namespace zorvik::testing {

namespace {

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

CrawlSite::CrawlSite() {
  const std::string html = "text/html; charset=ISO-8859-1";
  pages_["/index.htm"] = {html,
                          "<html><head><title>Zorvik Test Site</title></head><body>\r\n"
                          "<a href=\"a.htm\">A page</a>\r\n"
                          "<A HREF=\"/Dir/B.htm\">B page</A>\r\n"
                          "<a href=\"{BASE}/c.htm\">C, absolute</a>\r\n"
                          "<a href='single.htm'>single quotes are not taken</a>\r\n"
                          "<a href=\"mailto:owner@example.com\">mail</a>\r\n"
                          "<a href=\"https://secure.invalid/\">secure</a>\r\n"
                          "<a href=\"private/p.htm\">kept out</a>\r\n"
                          "<a href=\"missing.htm\">gone</a>\r\n"
                          "<a href=\"{BASE}/bro\r\nken.htm\">broken over two lines</a>\r\n"
                          "<img src=\"pic.gif\">\r\n"
                          "<a href=\"a.htm\">A again</a>\r\n"
                          "</body></html>\r\n"};
  pages_["/a.htm"] = {html,
                      "<html><head><TITLE>Robots\r\nat work</TITLE></head><body>\r\n"
                      "<p>A page about robots and spiders, written to be found. Write to\r\n"
                      "the keeper at keeper@robots.example. or use the\r\n"
                      "<a href=\"mailto:info@robots.example\">mail form</a>.</p>\r\n"
                      "</body></html>\r\n"};
  pages_["/dir/b.htm"] = {html,
                          "<html><head><title>B</title></head><body>\r\n"
                          "<a href=\"sub.htm\">deeper</a>\r\n"
                          "</body></html>\r\n"};
  pages_["/dir/sub.htm"] = {html,
                            "<html><head><title>Sub</title></head><body>a robot lives here"
                            "<a href=\"/c.htm\">C</a></body></html>"};
  pages_["/c.htm"] = {"TEXT/HTML", "<html><head><title>C</title></head><body>nothing to see</body></html>"};
  pages_["/missing.htm"] = {html, "<html><body>No robot here</body></html>", 404};
  pages_["/private/p.htm"] = {html, "<html><body>robot secrets</body></html>"};
  pages_["/pic.gif"] = {"image/gif", std::string("GIF89a\x01\x00\x01\x00\x00\xff\x00,", 13)};
  pages_["/robots.txt"] = {"text/plain", "User-agent: *\nDisallow: /private/\n"};

  server_.Routes().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    std::unique_lock lock(mutex_);
    requests_.push_back(req.target);
    if (!stallPath_.empty() && req.path == stallPath_ &&
        std::count(requests_.begin(), requests_.end(), stallPath_) >= stallFrom_) {
      lock.unlock();
      server_.WaitForRelease();
      lock.lock();
    }
    const auto it = pages_.find(req.path);
    if (it == pages_.end()) {
      res.status = 404;
      res.set_content("<html><body>No such page</body></html>", "text/html");
      return;
    }
    res.status = it->second.status;
    res.set_content(Replace(it->second.body, "{BASE}", Base()), it->second.type);
  });
}

void CrawlSite::Set(std::string path, Page page) {
  std::lock_guard lock(mutex_);
  pages_[std::move(path)] = std::move(page);
}

void CrawlSite::StallFrom(std::string path, int n) {
  std::lock_guard lock(mutex_);
  stallPath_ = std::move(path);
  stallFrom_ = n;
}

void CrawlSite::Remove(const std::string& path) {
  std::lock_guard lock(mutex_);
  pages_.erase(path);
}

std::string CrawlSite::Base() const { return server_.Url(""); }

std::vector<std::string> CrawlSite::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void CrawlSite::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

}  // namespace zorvik::testing
