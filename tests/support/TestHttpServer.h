#pragma once
// Peers of the transfer tests on 127.0.0.1, each serving from its own thread
// while the object lives.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zorvik::testing {

// A cpp-httplib server on a free port. Register handlers through Routes()
// before Start().
class TestHttpServer {
 public:
  // Takes a prepared server, for example an httplib::SSLServer for "https".
  explicit TestHttpServer(
      std::unique_ptr<httplib::Server> server = std::make_unique<httplib::Server>(),
      std::string scheme = "http");
  ~TestHttpServer();

  httplib::Server& Routes() { return *server_; }
  void Start();
  // "SCHEME://127.0.0.1:PORT" followed by `path`.
  std::string Url(std::string_view path) const;
  // Client connections that carried at least one request.
  std::size_t Connections() const;
  // For handlers that must stall: returns on destruction, or after 5 s.
  void WaitForRelease() const;
  // Lets every stalled handler return.
  void Release() { released_ = true; }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::string scheme_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> released_{false};
  mutable std::mutex mutex_;
  std::set<std::pair<std::string, int>> peers_;
};

// "http://127.0.0.1:PORT/" of a port that nothing listens on.
std::string RefusedUrl();

// A listener that never accepts. With a full queue a new connection attempt
// hangs until the client gives up; without, the kernel completes connections
// that nobody ever reads or answers: a server gone deaf.
class UnresponsiveListener {
 public:
  explicit UnresponsiveListener(bool fullQueue = true);
  ~UnresponsiveListener();
  std::string Url() const;
  // Waits at most `timeout` for a client to connect (queue not full).
  bool WaitForCaller(std::chrono::milliseconds timeout) const;

 private:
  int port_ = 0;
  int listener_ = -1;
  std::vector<int> fillers_;
};

// Answers one connection with fixed raw bytes after reading the request
// head, then closes it: for responses no proper server sends.
class RawHttpPeer {
 public:
  explicit RawHttpPeer(std::string reply);
  ~RawHttpPeer();
  std::string Url() const;

 private:
  int port_ = 0;  // set while listener_ is made
  int listener_ = -1;
  std::thread thread_;
};

}  // namespace zorvik::testing
