#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zorvik::testing {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  return addr;
}

// A socket bound to a free port of 127.0.0.1, listening unless backlog < 0.
int BindLoopback(int backlog, int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      (backlog >= 0 && ::listen(fd, backlog) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("cannot bind a socket on 127.0.0.1");
  port = ntohs(addr.sin_port);
  return fd;
}

std::string LoopbackUrl(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

}  // namespace

TestHttpServer::TestHttpServer(std::unique_ptr<httplib::Server> server, std::string scheme)
    : server_(std::move(server)), scheme_(std::move(scheme)) {
  server_->set_keep_alive_max_count(100000);
  server_->set_keep_alive_timeout(1);  // lets the destructor return soon
  server_->set_tcp_nodelay(true);
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    std::lock_guard<std::mutex> lock(mutex_);
    peers_.emplace(req.remote_addr, req.remote_port);
    return httplib::Server::HandlerResponse::Unhandled;
  });
}

TestHttpServer::~TestHttpServer() {
  released_ = true;
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

void TestHttpServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("test server cannot bind");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int i = 0; i < 5000 && !server_->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string TestHttpServer::Url(std::string_view path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::size_t TestHttpServer::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return peers_.size();
}

void TestHttpServer::WaitForRelease() const {
  for (int i = 0; i < 500 && !released_; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string RefusedUrl() {
  int port = 0;
  ::close(BindLoopback(-1, port));
  return LoopbackUrl(port);
}

UnresponsiveListener::UnresponsiveListener(bool fullQueue) : listener_(BindLoopback(fullQueue ? 0 : 16, port_)) {
  if (!fullQueue) return;
  // Fill the accept queue; the kernel then drops further connection requests.
  const sockaddr_in addr = Loopback(port_);
  for (int i = 0; i < 4; ++i) {
    fillers_.push_back(::socket(AF_INET, SOCK_STREAM, 0));
    ::fcntl(fillers_.back(), F_SETFL, O_NONBLOCK);
    (void)::connect(fillers_.back(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool UnresponsiveListener::WaitForCaller(std::chrono::milliseconds timeout) const {
  pollfd waiting{listener_, POLLIN, 0};
  return ::poll(&waiting, 1, static_cast<int>(timeout.count())) == 1;
}

UnresponsiveListener::~UnresponsiveListener() {
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
}

std::string UnresponsiveListener::Url() const { return LoopbackUrl(port_); }

RawHttpPeer::RawHttpPeer(std::string reply) : listener_(BindLoopback(1, port_)) {
  thread_ = std::thread([this, reply = std::move(reply)] {
    const int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;  // closed before anyone came
    const timeval limit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string head;
    char buf[4096];
    for (ssize_t n = 1; n > 0 && head.find("\r\n\r\n") == std::string::npos;) {
      n = ::recv(fd, buf, sizeof buf, 0);
      head.append(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
  });
}

RawHttpPeer::~RawHttpPeer() {
  ::shutdown(listener_, SHUT_RDWR);  // wakes an accept that still waits
  thread_.join();
  ::close(listener_);
}

std::string RawHttpPeer::Url() const { return LoopbackUrl(port_); }

}  // namespace zorvik::testing
