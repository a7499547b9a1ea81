#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zorvik::testing {

TestHttpServer::TestHttpServer() : TestHttpServer(std::make_unique<httplib::Server>(), "http") {}

TestHttpServer::TestHttpServer(std::unique_ptr<httplib::Server> server, std::string scheme)
    : server_(std::move(server)), scheme_(std::move(scheme)) {
  server_->set_keep_alive_max_count(100000);
  server_->set_tcp_nodelay(true);
  // Lets Stop() return soon even when a client keeps its connection open.
  server_->set_keep_alive_timeout(1);
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    std::lock_guard<std::mutex> lock(mutex_);
    peers_.emplace(req.remote_addr, req.remote_port);
    ++requests_;
    return httplib::Server::HandlerResponse::Unhandled;
  });
}

TestHttpServer::~TestHttpServer() { Stop(); }

void TestHttpServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("test server cannot bind");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_->is_running() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestHttpServer::Stop() {
  Release();
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

std::string TestHttpServer::Url(std::string_view path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::size_t TestHttpServer::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return peers_.size();
}

std::size_t TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool TestHttpServer::WaitForRelease(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return released_cv_.wait_for(lock, limit, [this] { return released_; });
}

void TestHttpServer::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
  }
  released_cv_.notify_all();
}

int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

UnresponsiveListener::UnresponsiveListener() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 0) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("cannot set up the unresponsive listener");
  port_ = ntohs(addr.sin_port);
  // Fill the accept queue; the kernel then drops further connection requests.
  for (int i = 0; i < 4; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    (void)::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers_.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

UnresponsiveListener::~UnresponsiveListener() {
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
}

RawHttpPeer::RawHttpPeer(std::string reply) : reply_(std::move(reply)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("cannot set up the raw peer");
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

RawHttpPeer::~RawHttpPeer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::string RawHttpPeer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void RawHttpPeer::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 2000) <= 0) break;
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      head.append(buf, static_cast<std::size_t>(n));
    }
    (void)::send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
  }
}

}  // namespace zorvik::testing
