#pragma once
// One libcurl connection driven without blocking: an easy handle in a private
// multi handle, reused for every transfer of a session so that the server
// connection stays open between them. Callbacks only fill buffers; whatever
// the transfer reports is handed to a TransferEvents sink, which queues it.

#include <chrono>
#include <vector>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// "scheme://host:port/path" from a host property ("name", "name:port",
// "[v6]:port"); nothing when the host is empty or holds characters a host
// name cannot have.
std::optional<std::string> MailUrl(std::string_view scheme, std::string_view hostSpec,
                                   int defaultPort, std::string_view path);

class CurlTransfer {
 public:
  explicit CurlTransfer(TransferEvents& events);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // The easy handle, made on first use with the options every transfer
  // shares. Nothing when libcurl cannot make one.
  CURL* Easy();
  // Bounds every phase of the next transfers (connect, each reply, the whole).
  void SetTimeout(int seconds);

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

  TransferEvents& events_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  bool running_ = false;
  bool writeFailed_ = false;
  int timeoutSeconds_ = 60;
  ProtocolTrace trace_;
  std::vector<std::string> lines_;
};

}  // namespace zorvik::mail
