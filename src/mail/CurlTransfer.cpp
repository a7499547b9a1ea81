#include "mail/CurlTransfer.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>

#include <cctype>
#include <cerrno>
#include <mutex>

#include "core/Text.h"

namespace zorvik::mail {
namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsHostChar(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_'; }

}  // namespace

std::optional<HostAndPort> ParseHostSpec(std::string_view hostSpec, int defaultPort) {
  hostSpec = text::TrimWhiteSpace(hostSpec);
  std::string_view host = hostSpec;
  std::string_view port;
  if (!host.empty() && host.front() == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view rest = host.substr(close + 1);
    host = host.substr(0, close + 1);
    for (unsigned char c : host.substr(1, host.size() - 2))
      if (!std::isxdigit(c) && c != ':' && c != '.') return std::nullopt;
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
    }
  } else {
    const std::size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
      port = host.substr(colon + 1);
      host = host.substr(0, colon);
    }
    for (unsigned char c : host)
      if (!IsHostChar(c)) return std::nullopt;
  }
  if (host.empty() || host.size() > 255) return std::nullopt;
  int portNumber = defaultPort;
  if (!port.empty()) {
    if (port.size() > 5) return std::nullopt;
    portNumber = 0;
    for (unsigned char c : port) {
      if (!std::isdigit(c)) return std::nullopt;
      portNumber = portNumber * 10 + (c - '0');
    }
    if (portNumber < 1 || portNumber > 65535) return std::nullopt;
  }
  return HostAndPort{std::string(host), portNumber};
}

std::optional<std::string> MailUrl(std::string_view scheme, std::string_view hostSpec,
                                   int defaultPort, std::string_view path) {
  const auto parsed = ParseHostSpec(hostSpec, defaultPort);
  if (!parsed) return std::nullopt;
  return std::string(scheme) + "://" + parsed->host + ":" + std::to_string(parsed->port) + "/" +
         std::string(path);
}

bool IsLoopbackHost(std::string_view hostSpec) {
  const auto parsed = ParseHostSpec(hostSpec, 1);
  if (!parsed) return false;
  const std::string host = text::LCase(parsed->host);
  if (host == "localhost" || host == "localhost.") return true;
  in_addr v4{};
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (host.size() > 2 && host.front() == '[' &&
      ::inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

bool RequiresTls(std::string_view hostSpec, bool sendsCredentials) {
  return sendsCredentials && !IsLoopbackHost(hostSpec);
}

CurlTransfer::CurlTransfer(TransferEvents& events) : events_(events) { GlobalInit(); }

CurlTransfer::~CurlTransfer() {
  if (easy_ != nullptr) {
    // (A connect-only connection closes here, without a QUIT.)
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
  }
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
}

CURL* CurlTransfer::Easy() {
  if (easy_ != nullptr) return easy_;
  multi_ = curl_multi_init();
  easy_ = curl_easy_init();
  if (multi_ == nullptr || easy_ == nullptr) return nullptr;
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(easy_, CURLOPT_DEBUGFUNCTION, &CurlTransfer::OnDebug);
  curl_easy_setopt(easy_, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnWrite);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &CurlTransfer::OnRead);
  curl_easy_setopt(easy_, CURLOPT_READDATA, this);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
  // STARTTLS / STLS whenever the server offers it, unless SetSecurity
  // requires it.
  curl_easy_setopt(easy_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  SetTimeout(timeoutSeconds_);
  return easy_;
}

void CurlTransfer::SetTimeout(int seconds) {
  timeoutSeconds_ = seconds > 0 ? seconds : 60;
  if (easy_ == nullptr) return;
  const long s = timeoutSeconds_;
  // No CURLOPT_TIMEOUT: a transfer may take as long as it keeps moving
  // (Drive watches for silence).
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, s);
  curl_easy_setopt(easy_, CURLOPT_SERVER_RESPONSE_TIMEOUT, s);
}

void CurlTransfer::SetSecurity(std::string peerName, bool tlsRequired) {
  peerName_ = std::move(peerName);
  if (Easy() == nullptr) return;
  curl_easy_setopt(easy_, CURLOPT_USE_SSL,
                   static_cast<long>(tlsRequired ? CURLUSESSL_ALL : CURLUSESSL_TRY));
}

void CurlTransfer::SetConnectOnly() {
  connectOnly_ = true;
  if (Easy() != nullptr) curl_easy_setopt(easy_, CURLOPT_CONNECT_ONLY, 1L);
}

MailStatus CurlTransfer::Start() {
  if (Easy() == nullptr) return MailStatus::Error(kErrNoBuffers);
  if (attached_) return MailStatus::Error(kErrInternalState);
  writeFailed_ = false;
  errorText_[0] = '\0';
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return MailStatus::Error(kErrInternalState);
  running_ = attached_ = true;
  Moved();
  return MailStatus::Ok();
}

std::optional<MailStatus> CurlTransfer::Drive() {
  if (!running_) return std::nullopt;
  int still = 0;
  curl_multi_perform(multi_, &still);
  for (auto& line : lines_) events_.TraceLine(std::move(line));
  lines_.clear();
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
    if (msg->msg != CURLMSG_DONE || msg->easy_handle != easy_) continue;
    const CURLcode code = msg->data.result;
    // A connect-only connection lives as long as its handle stays here.
    if (!connectOnly_ || code != CURLE_OK) {
      curl_multi_remove_handle(multi_, easy_);
      attached_ = false;
    }
    running_ = false;
    for (auto& line : lines_) events_.TraceLine(std::move(line));
    lines_.clear();
    FlushDataSummary();
    return Outcome(code);
  }
  if (std::chrono::steady_clock::now() - lastMoved_ > std::chrono::seconds(timeoutSeconds_)) {
    // Silence: the transfer is dropped with its connection.
    curl_multi_remove_handle(multi_, easy_);
    running_ = attached_ = false;
    FlushDataSummary();
    return MailStatus::Error(kErrTimedOut);
  }
  return std::nullopt;
}

void CurlTransfer::Wait(std::chrono::milliseconds timeout) {
  if (!running_) return;
  int fds = 0;
  curl_multi_poll(multi_, nullptr, 0, static_cast<int>(timeout.count()), &fds);
}

void CurlTransfer::FlushDataSummary() {
  std::string summary = trace_.TakeDataSummary();
  if (!summary.empty() && events_.TraceWanted()) events_.TraceLine(std::move(summary));
}

MailStatus CurlTransfer::Outcome(CURLcode code) {
  if (code == CURLE_OK) return MailStatus::Ok();
  const std::string detail = errorText_[0] != '\0' ? errorText_ : curl_easy_strerror(code);
  auto login = [](std::string description) {
    MailStatus s = MailStatus::Error(kErrLoginFailed);
    s.description = std::move(description);
    return s;
  };
  switch (code) {
    case CURLE_USE_SSL_FAILED:
      return login(peerName_ + " offers no encryption (STARTTLS): the password was not sent.");
    case CURLE_PEER_FAILED_VERIFICATION:
      return login("certificate of " + peerName_ + " could not be verified: " + detail);
    case CURLE_SSL_CONNECT_ERROR:
      return login("encryption with " + peerName_ + " could not be set up: " + detail);
    default:
      break;
  }
  long osErrno = 0;
  curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osErrno);
  long reply = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &reply);
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return MailStatus::Error(kErrHostNotFound);
    case CURLE_COULDNT_CONNECT:
      switch (osErrno) {
        case ENETUNREACH: return MailStatus::Error(kErrNetworkUnreachable);
        case EHOSTUNREACH: return MailStatus::Error(kErrHostUnreachable);
        case ETIMEDOUT: return MailStatus::Error(kErrTimedOut);
        case ENETDOWN: return MailStatus::Error(kErrNetworkDown);
        default: return MailStatus::Error(kErrConnectionRefused);
      }
    case CURLE_OPERATION_TIMEDOUT:
      return MailStatus::Error(kErrTimedOut);
    case CURLE_LOGIN_DENIED:
      return MailStatus::Error(kErrLoginFailed);
    case CURLE_WRITE_ERROR:
      return MailStatus::Error(writeFailed_ ? kErrFile : kErrInternalState);
    case CURLE_READ_ERROR:
      return MailStatus::Error(kErrFile);
    case CURLE_OUT_OF_MEMORY:
      return MailStatus::Error(kErrNoBuffers);
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return MailStatus::Error(kErrInvalidEntry);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      // A refusal by the server is a reply; a broken socket is not.
      if (reply >= 400) return MailStatus::Error(kErrUnexpectedResponse);
      return MailStatus::Error(osErrno == ECONNRESET || osErrno == EPIPE ? kErrConnectionReset
                                                                          : kErrShutdown);
    case CURLE_GOT_NOTHING:
      return MailStatus::Error(kErrShutdown);
    default:
      return MailStatus::Error(kErrUnexpectedResponse);
  }
}

int CurlTransfer::OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  const std::string_view bytes(data, size);
  if (type != CURLINFO_TEXT) t->Moved();
  switch (type) {
    case CURLINFO_HEADER_OUT:
      // Always through the filter, so that its idea of an AUTH exchange in
      // progress stays right when tracing is switched on midway.
      if (t->events_.TraceWanted()) t->trace_.Client(bytes, t->lines_);
      else {
        std::vector<std::string> ignored;
        t->trace_.Client(bytes, ignored);
      }
      break;
    case CURLINFO_HEADER_IN:
      if (t->events_.TraceWanted()) t->trace_.Server(bytes, t->lines_);
      else {
        std::vector<std::string> ignored;
        t->trace_.Server(bytes, ignored);
      }
      break;
    case CURLINFO_DATA_IN:
    case CURLINFO_DATA_OUT:
      t->trace_.Data(size);
      break;
    default:
      break;
  }
  return 0;
}

std::size_t CurlTransfer::OnWrite(char* data, std::size_t size, std::size_t n, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  const std::size_t bytes = size * n;
  if (t->onWrite && !t->onWrite(std::string_view(data, bytes))) {
    t->writeFailed_ = true;
    return 0;
  }
  return bytes;
}

std::size_t CurlTransfer::OnRead(char* data, std::size_t size, std::size_t n, void* self) {
  auto* t = static_cast<CurlTransfer*>(self);
  return t->onRead ? t->onRead(data, size * n) : 0;
}

}  // namespace zorvik::mail
