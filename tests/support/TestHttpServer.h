#pragma once
// An HTTP (or HTTPS) server on 127.0.0.1 and a free port, running in its own
// thread while the object lives: the peer of the transfer tests. Register
// handlers through Routes() before Start().

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zorvik::testing {

class TestHttpServer {
 public:
  TestHttpServer();
  // Takes a prepared server, for example an httplib::SSLServer.
  explicit TestHttpServer(std::unique_ptr<httplib::Server> server, std::string scheme = "https");
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  httplib::Server& Routes() { return *server_; }
  // Binds 127.0.0.1 on a free port and returns once the server accepts.
  void Start();
  void Stop();

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `path`.
  std::string Url(std::string_view path) const;

  // Client connections that carried at least one request, and requests.
  std::size_t Connections() const;
  std::size_t Requests() const;

  // For handlers that must stall: blocks until Release() or Stop(), or at
  // most `limit`. True when released.
  bool WaitForRelease(std::chrono::milliseconds limit = std::chrono::seconds(5));
  void Release();

 private:
  std::unique_ptr<httplib::Server> server_;
  std::string scheme_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable released_cv_;
  bool released_ = false;
  std::set<std::pair<std::string, int>> peers_;
  std::size_t requests_ = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound once, then closed).
int UnusedPort();

// A port on 127.0.0.1 whose listener never accepts and whose queue is full,
// so that a new connection attempt hangs until the client gives up.
class UnresponsiveListener {
 public:
  UnresponsiveListener();
  ~UnresponsiveListener();
  UnresponsiveListener(const UnresponsiveListener&) = delete;
  UnresponsiveListener& operator=(const UnresponsiveListener&) = delete;
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  int port_ = 0;
};

// A peer that answers every connection on 127.0.0.1 with fixed raw bytes
// after reading the request head, then closes it: for responses no proper
// server would send (cut short, folded headers, not HTTP at all).
class RawHttpPeer {
 public:
  explicit RawHttpPeer(std::string reply);
  ~RawHttpPeer();
  RawHttpPeer(const RawHttpPeer&) = delete;
  RawHttpPeer& operator=(const RawHttpPeer&) = delete;
  std::string Url(std::string_view path) const;

 private:
  void Serve();
  std::string reply_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zorvik::testing
