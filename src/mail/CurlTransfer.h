#pragma once
// One libcurl connection driven without blocking: an easy handle in a private
// multi handle, reused for every transfer of a session so that the server
// connection stays open between them. Callbacks only fill buffers; whatever
// the transfer reports is handed to a TransferEvents sink, which queues it.
//
// Time-outs: connecting (and logging in) has a limit of its own; after that a
// transfer ends only when nothing has moved for that many seconds, however
// long the whole takes.
//
// Credentials go out in clear only to this machine: to any other host a
// session that logs in requires TLS (STARTTLS / STLS) and fails, before the
// credentials are sent, when the server offers none.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/MailErrors.h"
#include "mail/ProtocolTrace.h"

#include <curl/curl.h>

namespace zorvik::mail {

// A mail server and the account on it.
struct MailAccount {
  std::string host;  // "name" or "name:port"
  std::string userName;
  std::string password;
  int timeoutSeconds = 60;
};

class TransferEvents {
 public:
  virtual ~TransferEvents() = default;
  virtual bool TraceWanted() const = 0;
  virtual void TraceLine(std::string line) = 0;
  virtual void Progress(long done, long total) = 0;
};

// A host property ("name", "name:port", "[v6]:port", blanks around it
// ignored) taken apart; nothing when the host is empty or holds characters a
// host name cannot have, or the port is not one.
struct HostAndPort {
  std::string host;  // "[v6]" keeps its brackets
  int port = 0;
};
std::optional<HostAndPort> ParseHostSpec(std::string_view hostSpec, int defaultPort);

// "scheme://host:port/path" from a host property; nothing when it does not parse.
std::optional<std::string> MailUrl(std::string_view scheme, std::string_view hostSpec,
                                   int defaultPort, std::string_view path);

// True when the host property names this machine: "localhost", an address in
// 127.0.0.0/8 or ::1.
bool IsLoopbackHost(std::string_view hostSpec);

// Whether a session with this host must be encrypted before it sends its
// credentials: always, unless it sends none or the host is this machine.
bool RequiresTls(std::string_view hostSpec, bool sendsCredentials);

class CurlTransfer {
 public:
  explicit CurlTransfer(TransferEvents& events);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // The easy handle, made on first use with the options every transfer
  // shares. Nothing when libcurl cannot make one.
  CURL* Easy();
  // The limit for connecting and for silence (seconds; 0 or less means 60).
  void SetTimeout(int seconds);
  int TimeoutSeconds() const { return timeoutSeconds_; }
  // The host (for descriptions) and whether TLS is required or only used
  // when the server offers it.
  void SetSecurity(std::string peerName, bool tlsRequired);
  // A transfer that only connects and logs in: the connection then stays
  // with the handle for the caller's own commands (curl_easy_send/recv).
  void SetConnectOnly();

  // Received body bytes; return false to abort the transfer.
  std::function<bool(std::string_view)> onWrite;
  // Fills the buffer with upload bytes; returns how many (0 at the end).
  std::function<std::size_t(char*, std::size_t)> onRead;

  MailStatus Start();
  bool Running() const { return running_; }
  // Does the work that is ready; when the transfer has just ended, its outcome.
  std::optional<MailStatus> Drive();
  // Blocks until the connection has something to do, at most `timeout`.
  void Wait(std::chrono::milliseconds timeout);

 private:
  static int OnDebug(CURL* handle, curl_infotype type, char* data, std::size_t size, void* self);
  static std::size_t OnWrite(char* data, std::size_t size, std::size_t n, void* self);
  static std::size_t OnRead(char* data, std::size_t size, std::size_t n, void* self);
  MailStatus Outcome(CURLcode code);
  void FlushDataSummary();
  void Moved() { lastMoved_ = std::chrono::steady_clock::now(); }

  TransferEvents& events_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  bool running_ = false;
  bool attached_ = false;  // the handle is in the multi handle
  bool connectOnly_ = false;
  bool writeFailed_ = false;
  int timeoutSeconds_ = 60;
  std::string peerName_;
  char errorText_[CURL_ERROR_SIZE] = {};
  std::chrono::steady_clock::time_point lastMoved_{};
  ProtocolTrace trace_;
  std::vector<std::string> lines_;
};

}  // namespace zorvik::mail
