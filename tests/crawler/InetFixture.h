#pragma once
// The transfer tests' set-up: a local server with their pages, an instance
// that records its states, and helpers that run a request to its end.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crawler/CurlInet.h"
#include "support/FakeHost.h"
#include "support/TestHttpServer.h"

namespace zorvik::inettest {

using namespace std::chrono_literals;
using States = std::vector<std::int16_t>;

// Deterministic bodies: text lines with some UTF-8, or bytes of every value.
std::string TextBody(std::size_t size);
std::string BinaryBody(std::size_t size);
void AddPages(testing::TestHttpServer& server);

inline const States kFullSequence = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12};
inline const std::string kHello = "<html><body>hello</body></html>";

class InetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);  // loopback never goes through a proxy
    AddPages(server);
    server.Start();
    inet.StateChanged = [this](std::int16_t s) { states.push_back(s); };
  }

  // Yields as the page fetcher does until `done` or the limit.
  template <class Pred>
  bool WaitFor(Pred done, std::chrono::milliseconds limit = 5s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      host.WaitEvents(20ms);
    }
    return true;
  }

  // Runs `url` to its end, then gives events that must not come a chance to.
  void Run(const std::string& url) {
    states.clear();
    ASSERT_TRUE(inet.Execute(url));
    ASSERT_TRUE(WaitFor([this] { return !states.empty() && states.back() >= 11; })) << url;
    for (int i = 0; i < 10; ++i) host.WaitEvents(2ms);
  }

  // The request ended once, in 11, its states ascending, with no body to hand
  // out and `info` in its text (empty: any reason but "Cannot connect").
  void ExpectFailed(const std::string& info) {
    EXPECT_EQ(states.back(), 11);
    EXPECT_TRUE(std::adjacent_find(states.begin(), states.end(), std::greater_equal<>()) ==
                states.end()) << ::testing::PrintToString(states);
    const std::string text = inet.ResponseInfo();
    EXPECT_TRUE(info.empty() ? !text.empty() && text != "Cannot connect"
                             : text.find(info) != std::string::npos) << text;
    EXPECT_EQ(inet.StatusCode(), 0);
    EXPECT_EQ(inet.GetChunk(1 << 20), "") << "a failed request handed out a body";
  }

  // The whole body in pieces of at most `chunk` bytes (the largest in
  // `largest`); once it is read, the end stays the end.
  std::string ReadAll(std::size_t chunk = 1024, std::size_t* largest = nullptr) {
    std::string all;
    for (std::string piece; !(piece = inet.GetChunk(chunk)).empty(); all += piece)
      if (largest != nullptr) *largest = std::max(*largest, piece.size());
    EXPECT_EQ(inet.GetChunk(chunk), "");
    return all;
  }

  testing::FakeHost host;
  testing::TestHttpServer server;
  std::unique_ptr<testing::TestHttpServer> tls;  // outlives inet and its open connection
  States states;
  CurlInet inet{host};
};

}  // namespace zorvik::inettest
