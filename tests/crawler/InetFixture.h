#pragma once
// Shared set-up of the transfer tests: a local HTTP server with the pages
// the tests ask for, a FakeHost, and helpers that run a request to its end.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "crawler/CurlInet.h"
#include "support/FakeHost.h"
#include "support/TestHttpServer.h"

namespace zorvik::inettest {

using namespace std::chrono_literals;

// Deterministic content of the given size: text lines with some UTF-8, or
// bytes of every value including NUL.
std::string TextBody(std::size_t size);
std::string BinaryBody(std::size_t size);
std::string Gzip(const std::string& data);
std::string Deflate(const std::string& data);

// Registers every page the tests use.
void AddPages(testing::TestHttpServer& server);

inline const std::vector<std::int16_t> kFullSequence = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12};

class InetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A proxy configured in the environment must not catch loopback traffic.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    AddPages(server);
    server.Start();
  }

  static InetSettings Quick() {
    InetSettings s;
    s.connectTimeout = 2s;
    s.stallTimeout = 2s;
    return s;
  }

  // Records every state the instance raises.
  void Record(Inet& inet) {
    inet.StateChanged = [this](std::int16_t s) { states.push_back(s); };
  }

  // Yields (as the page fetcher does) until `done` or the limit.
  template <class Pred>
  bool WaitFor(Pred done, std::chrono::milliseconds limit = 5s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      host.WaitEvents(20ms);
    }
    return true;
  }

  bool Ended() const {
    return !states.empty() && (states.back() == 11 || states.back() == 12);
  }

  // Executes `url` and waits for 11 or 12.
  void Run(Inet& inet, const std::string& url) {
    states.clear();
    ASSERT_TRUE(inet.Execute(url));
    ASSERT_TRUE(WaitFor([this] { return Ended(); })) << "no end state for " << url;
  }

  static std::string ReadAll(Inet& inet, std::size_t chunk, std::size_t* largest = nullptr) {
    std::string all;
    for (;;) {
      std::string piece = inet.GetChunk(chunk, Inet::kText);
      if (piece.empty()) break;
      if (largest != nullptr && piece.size() > *largest) *largest = piece.size();
      all += piece;
    }
    return all;
  }

  testing::FakeHost host;
  testing::TestHttpServer server;
  std::vector<std::int16_t> states;
};

}  // namespace zorvik::inettest
