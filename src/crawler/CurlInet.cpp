#include "crawler/CurlInet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "core/Text.h"

namespace zorvik {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int16_t kResolving = 1;
constexpr std::int16_t kConnecting = 3;
constexpr std::int16_t kRequesting = 5;
constexpr std::int16_t kRequestSent = 6;
constexpr std::int16_t kReceiving = 7;
constexpr std::int16_t kDisconnected = 10;
constexpr std::int16_t kError = 11;
constexpr std::int16_t kCompleted = 12;

const char* const kCannotConnect = "Cannot connect";
const std::string kCancelled(Inet::kCancelledInfo);

void InitCurlOnce() {
  static const bool done = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  (void)done;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// The scheme an address starts with ("http" of "http://x"), or empty when it
// has none. "host:8080/path" names a port, not a scheme.
std::string_view SchemeOf(std::string_view url) {
  const auto colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  const std::string_view name = url.substr(0, colon);
  const auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!alpha(name.front())) return {};
  for (const char c : name)
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return {};
  const std::string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) == "//") return name;
  std::size_t digits = 0;
  while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
  const bool portFollows = digits > 0 && (digits == rest.size() || rest[digits] == '/' ||
                                          rest[digits] == '?' || rest[digits] == '#');
  return portFollows ? std::string_view() : name;
}

// "0.25 s", "60 s": a duration as people read it.
std::string Seconds(std::chrono::milliseconds d) {
  char buf[32];
  if (d.count() % 1000 == 0)
    std::snprintf(buf, sizeof buf, "%lld s", static_cast<long long>(d.count() / 1000));
  else
    std::snprintf(buf, sizeof buf, "%.3g s", static_cast<double>(d.count()) / 1000.0);
  return buf;
}

// What the transfer callbacks observed, in the order they observed it. The
// callbacks only record; everything visible happens after curl returns.
enum class Mark { Connected, RequestSent, ResponseStarted, Redirected };

struct Event {
  enum Kind { State, NewUrl } kind = State;
  std::int16_t state = 0;
  // NewUrl: the address; terminal State: the response text.
  std::string text;
  int status = 0;
  bool terminal = false;
};

}  // namespace

struct CurlInet::Impl {
  Impl(CurlInet& owner, Host& h, InetSettings s) : self(owner), host(h), settings(std::move(s)) {}

  CurlInet& self;
  Host& host;
  InetSettings settings;
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  std::string systemCaFile;  // curl's built-in certificate store

  // A request runs from Execute/OpenURL until its last event is delivered
  // (`busy`); curl works on it while `transferring`.
  bool busy = false;
  bool transferring = false;
  bool silent = false;      // started by OpenURL: no events
  bool silentDone = false;  // the OpenURL request has ended
  std::uint64_t generation = 0;  // counts requests, so a waiter knows its own
  std::int16_t raised = 0;  // highest state queued for the current request
  std::deque<Event> queue;
  // Events were delivered (or an OpenURL request ended) since the last pump
  // reported: a waiting caller should look at its condition again.
  bool delivered = false;

  // Filled by the curl callbacks.
  std::vector<std::pair<Mark, std::string>> marks;
  std::string body;
  std::size_t readPos = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string statusLine;
  long redirectsSeen = 0;
  bool overLimit = false;
  std::uint64_t activity = 0;  // bumped by every callback: the transfer moves
  std::uint64_t received = 0;  // bytes of headers and body that came in

  // The request's start, and the window the minimum rate is measured over.
  Clock::time_point started{};
  bool windowOpen = false;
  Clock::time_point windowStart{};
  std::uint64_t windowBytes = 0;

  bool connected = false;
  std::uint64_t lastActivity = 0;
  Clock::time_point lastProgress{};

  std::string url;
  std::string responseInfo;
  int statusCode = 0;

  // Cleared when the instance is destroyed, so that code running below an
  // event handler notices that the handler destroyed it.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);

  // ---- callbacks (record only) ----
  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* d = static_cast<Impl*>(user);
    const size_t n = size * count;
    ++d->activity;
    d->received += n;
    if (d->body.size() + n > d->settings.maxBodyBytes) {
      d->overLimit = true;
      return 0;  // makes curl end the transfer with a write error
    }
    d->body.append(data, n);
    return n;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* d = static_cast<Impl*>(user);
    const size_t n = size * count;
    ++d->activity;
    d->received += n;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
      // A new response begins: an interim one (1xx), a redirect that was
      // followed, or the final one. Only the final one's headers and body
      // are kept.
      d->headers.clear();
      d->body.clear();
      d->readPos = 0;
      d->statusLine = std::string(TrimBlanks(line));
      d->marks.emplace_back(Mark::ResponseStarted, std::string());
      long redirects = 0;
      curl_easy_getinfo(d->easy, CURLINFO_REDIRECT_COUNT, &redirects);
      if (redirects > d->redirectsSeen) {
        d->redirectsSeen = redirects;
        char* effective = nullptr;
        curl_easy_getinfo(d->easy, CURLINFO_EFFECTIVE_URL, &effective);
        d->marks.emplace_back(Mark::Redirected, effective != nullptr ? effective : "");
      }
    } else if (line.empty()) {
      // end of a header block
    } else if ((line.front() == ' ' || line.front() == '\t') && !d->headers.empty()) {
      // obsolete line folding: continues the previous value
      auto& value = d->headers.back().second;
      value += ' ';
      value += TrimBlanks(line);
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos && colon > 0) {
      d->headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                              std::string(TrimBlanks(line.substr(colon + 1))));
    }
    return n;
  }

  static int OnConnected(void* user, char*, char*, int, int) {
    auto* d = static_cast<Impl*>(user);
    ++d->activity;
    d->marks.emplace_back(Mark::Connected, std::string());
    return CURL_PREREQFUNC_OK;
  }

  static int OnDebug(CURL*, curl_infotype type, char*, size_t, void* user) {
    auto* d = static_cast<Impl*>(user);
    if (type == CURLINFO_HEADER_OUT) {
      ++d->activity;
      d->marks.emplace_back(Mark::RequestSent, std::string());
    }
    return 0;
  }

  // ---- events ----
  void RaiseTo(std::int16_t state) {
    if (silent) return;
    while (raised < state) queue.push_back(Event{Event::State, ++raised, {}, 0, false});
  }

  // Queues the one event that ends the request (or, for OpenURL, ends it now).
  void End(std::int16_t state, std::string text, int status) {
    transferring = false;
    if (state == kError) {
      // A failed request leaves no half body to be mistaken for a page.
      body.clear();
      readPos = 0;
    }
    if (silent) {
      responseInfo = std::move(text);
      statusCode = status;
      silentDone = true;
      busy = false;
      delivered = true;
      return;
    }
    if (state == kCompleted) RaiseTo(kDisconnected);
    raised = kCompleted;
    queue.push_back(Event{Event::State, state, std::move(text), status, true});
  }

  void NewUrl(std::string address) {
    if (silent)
      url = std::move(address);
    else
      queue.push_back(Event{Event::NewUrl, 0, std::move(address), 0, false});
  }

  // ---- driving curl ----
  void ApplyOptions(const std::string& target) {
    errorBuffer[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_URL, target.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, settings.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, settings.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max<std::int64_t>(1, settings.connectTimeout.count())));
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(std::min<std::uint64_t>(
                         settings.maxBodyBytes, static_cast<std::uint64_t>(INT64_MAX))));
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, settings.acceptEncoding.c_str());
    const std::string& authorities = settings.caFile.empty() ? systemCaFile : settings.caFile;
    curl_easy_setopt(easy, CURLOPT_CAINFO, authorities.empty() ? nullptr : authorities.c_str());
  }

  // Checks an untrusted address before curl sees it. Returns the address to
  // request, or the reason it cannot be.
  static bool Vet(std::string_view given, std::string& target, std::string& why) {
    if (given.empty()) {
      why = "No address given";
      return false;
    }
    for (const char c : given) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7f) {
        why = "Malformed address";
        return false;
      }
    }
    // An address without a scheme means http. "host:8080/x" has none;
    // "mailto:x@y" or "javascript:..." has one, and is refused below.
    std::string address(given);
    const std::string_view scheme = SchemeOf(given);
    if (scheme.empty()) {
      address = "http://" + address;
    } else if (!text::EqualsNoCase(scheme, "http") && !text::EqualsNoCase(scheme, "https")) {
      why = "Only http and https addresses can be fetched";
      return false;
    }
    CURLU* u = curl_url();
    if (u == nullptr) {
      why = "Out of memory";
      return false;
    }
    // Spaces and bytes beyond ASCII (common in links written by hand) are
    // sent percent-encoded, as browsers do.
    const CURLUcode rc =
        curl_url_set(u, CURLUPART_URL, address.c_str(), CURLU_ALLOW_SPACE | CURLU_URLENCODE);
    // The fragment is never sent (and may hold characters curl refuses).
    if (rc == CURLUE_OK) curl_url_set(u, CURLUPART_FRAGMENT, nullptr, 0);
    char* full = nullptr;
    bool ok = false;
    if (rc != CURLUE_OK) {
      why = std::string("Malformed address: ") + curl_url_strerror(rc);
    } else if (curl_url_get(u, CURLUPART_URL, &full, 0) != CURLUE_OK || full == nullptr) {
      why = "Malformed address";
    } else {
      target = full;
      ok = true;
    }
    curl_free(full);
    curl_url_cleanup(u);
    return ok;
  }

  void Start(std::string_view given, bool quiet) {
    ++generation;
    busy = true;
    silent = quiet;
    silentDone = false;
    raised = 0;
    queue.clear();
    marks.clear();
    body.clear();
    body.shrink_to_fit();
    readPos = 0;
    headers.clear();
    statusLine.clear();
    redirectsSeen = 0;
    overLimit = false;
    connected = false;
    url = std::string(given);
    RaiseTo(kResolving);

    std::string target;
    std::string why;
    if (!Vet(given, target, why)) {
      End(kError, why, 0);
      return;
    }
    ApplyOptions(target);
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
      End(kError, "Cannot start the transfer", 0);
      return;
    }
    transferring = true;
    lastActivity = activity;
    lastProgress = Clock::now();
    started = lastProgress;
    received = 0;
    windowOpen = false;
  }

  std::string ErrorText(CURLcode rc) const {
    switch (rc) {
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_CONNECT:
        return kCannotConnect;
      case CURLE_OPERATION_TIMEDOUT:
        // Only the connection set-up has a time limit in curl; a stalled
        // transfer is caught by Drive().
        return connected ? "Timed out" : kCannotConnect;
      case CURLE_UNSUPPORTED_PROTOCOL:
        return "Only http and https addresses can be fetched";
      case CURLE_URL_MALFORMAT:
        return "Malformed address";
      case CURLE_TOO_MANY_REDIRECTS:
        return "Too many redirects (more than " + std::to_string(settings.maxRedirects) + ")";
      case CURLE_FILESIZE_EXCEEDED:
        return BodyLimitText();
      case CURLE_WRITE_ERROR:
        if (overLimit) return BodyLimitText();
        break;
      default:
        break;
    }
    if (errorBuffer[0] != '\0') return errorBuffer;
    return curl_easy_strerror(rc);
  }

  std::string BodyLimitText() const {
    return "Response larger than the limit of " + std::to_string(settings.maxBodyBytes) + " bytes";
  }

  // Turns what the callbacks recorded into states, in the order it happened.
  void CollectProgress() {
    if (!silent && raised < kConnecting) {
      curl_off_t resolved = 0;
      if (curl_easy_getinfo(easy, CURLINFO_NAMELOOKUP_TIME_T, &resolved) == CURLE_OK &&
          resolved > 0)
        RaiseTo(kConnecting);  // resolving is done, connecting begins
    }
    for (auto& [mark, text] : marks) {
      switch (mark) {
        case Mark::Connected:
          connected = true;
          RaiseTo(kRequesting);  // connected, the request is being written
          break;
        case Mark::RequestSent: RaiseTo(kRequestSent); break;
        case Mark::ResponseStarted: RaiseTo(kReceiving); break;
        case Mark::Redirected: NewUrl(std::move(text)); break;
      }
    }
    marks.clear();
  }

  void Finish(CURLcode rc) {
    curl_multi_remove_handle(multi, easy);  // hands the connection back to the pool
    if (rc == CURLE_OK) {
      long code = 0;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
      End(kCompleted, statusLine, static_cast<int>(code));
    } else {
      End(kError, ErrorText(rc), 0);
    }
  }

  // Lets curl do what is ready and queues the events that follow from it.
  void Drive() {
    if (!transferring) return;
    int running = 0;
    curl_multi_perform(multi, &running);
    CollectProgress();
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy && transferring)
        Finish(msg->data.result);
    }
    if (!transferring) return;
    // Until the connection stands, curl's connect time-out applies; from
    // then on the transfer must keep moving.
    const auto now = Clock::now();
    if (activity != lastActivity || !connected) {
      lastActivity = activity;
      lastProgress = now;
    } else if (now - lastProgress >= settings.stallTimeout) {
      Abort("No data received for " + Seconds(settings.stallTimeout));
      return;
    }
    // A server that keeps sending, but too little or for too long.
    if (settings.maxTransferTime.count() > 0 && now - started >= settings.maxTransferTime) {
      Abort("Took longer than " + Seconds(settings.maxTransferTime));
      return;
    }
    if (!connected || settings.minBytesPerSecond == 0) return;
    if (!windowOpen || now - windowStart >= settings.minRateWindow) {
      const double seconds = std::chrono::duration<double>(now - windowStart).count();
      if (windowOpen && static_cast<double>(received - windowBytes) <
                            static_cast<double>(settings.minBytesPerSecond) * seconds) {
        Abort("Slower than " + std::to_string(settings.minBytesPerSecond) + " bytes a second over " +
              Seconds(settings.minRateWindow));
        return;
      }
      windowOpen = true;
      windowStart = now;
      windowBytes = received;
    }
  }

  // Gives up on the running transfer.
  void Abort(std::string why) {
    curl_multi_remove_handle(multi, easy);
    End(kError, std::move(why), 0);
  }

  // When Drive() must look at the transfer again although nothing arrives.
  Clock::time_point NextDeadline() const {
    Clock::time_point next = Clock::time_point::max();
    if (connected) next = lastProgress + settings.stallTimeout;
    if (settings.maxTransferTime.count() > 0) next = std::min(next, started + settings.maxTransferTime);
    if (windowOpen && settings.minBytesPerSecond > 0) next = std::min(next, windowStart + settings.minRateWindow);
    return next;
  }

  // Delivers queued events in order. A handler may yield, and the nested
  // pump then delivers the following events: each one is taken off the queue
  // before its handler runs, so none is delivered twice or out of order.
  void Deliver() {
    const std::shared_ptr<bool> living = alive;
    while (!queue.empty()) {
      Event e = std::move(queue.front());
      queue.pop_front();
      if (e.kind == Event::NewUrl) {
        url = std::move(e.text);
        continue;
      }
      if (e.terminal) {
        responseInfo = std::move(e.text);
        statusCode = e.status;
        busy = false;
      }
      delivered = true;
      const auto handler = self.StateChanged;  // the handler may replace itself
      if (handler) handler(e.state);
      if (!*living) return;
    }
  }
};

CurlInet::CurlInet(Host& host, InetSettings settings)
    : impl_(std::make_unique<Impl>(*this, host, std::move(settings))) {
  InitCurlOnce();
  Impl& d = *impl_;
  d.multi = curl_multi_init();
  d.easy = curl_easy_init();
  CURL* e = d.easy;
  char* builtIn = nullptr;
  if (curl_easy_getinfo(e, CURLINFO_CAINFO, &builtIn) == CURLE_OK && builtIn != nullptr)
    d.systemCaFile = builtIn;
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, d.errorBuffer);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &d);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &d);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &Impl::OnConnected);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, &d);
  // The debug callback is how curl tells that the request has gone out.
  curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, &Impl::OnDebug);
  curl_easy_setopt(e, CURLOPT_DEBUGDATA, &d);
  curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // A proxy's answer to CONNECT is not the server's response.
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  host.AddEventSource(this);
}

CurlInet::~CurlInet() {
  Impl& d = *impl_;
  *d.alive = false;
  d.host.RemoveEventSource(this);
  if (d.transferring) curl_multi_remove_handle(d.multi, d.easy);
  curl_easy_cleanup(d.easy);
  curl_multi_cleanup(d.multi);
}

const InetSettings& CurlInet::Settings() const { return impl_->settings; }

void CurlInet::SetSettings(InetSettings settings) { impl_->settings = std::move(settings); }

bool CurlInet::Execute(std::string_view url) {
  if (impl_->busy) return false;
  impl_->Start(url, false);
  return true;
}

std::string CurlInet::OpenURL(std::string_view url, int /*type*/) {
  Impl& d = *impl_;
  if (d.busy) return {};
  d.Start(url, true);
  const std::uint64_t mine = d.generation;
  const std::shared_ptr<bool> living = d.alive;
  // Another handler may cancel this request while we yield, and even start
  // a new one: stop waiting as soon as this request is no longer current.
  while (d.generation == mine && !d.silentDone) {
    d.host.WaitEvents(std::chrono::milliseconds(100));
    if (!*living) return {};
  }
  if (d.generation != mine) return {};
  d.silent = false;
  std::string result = std::move(d.body);
  d.body.clear();
  d.readPos = 0;
  return result;
}

std::string CurlInet::GetChunk(std::size_t size, int /*type*/) {
  Impl& d = *impl_;
  if (size == 0 || d.readPos >= d.body.size()) return {};
  const std::size_t n = std::min(size, d.body.size() - d.readPos);
  std::string piece = d.body.substr(d.readPos, n);
  d.readPos += n;
  if (d.readPos == d.body.size() && !d.transferring) {
    d.body.clear();  // all read: let the memory go
    d.body.shrink_to_fit();
    d.readPos = 0;
  }
  return piece;
}

std::string CurlInet::GetHeader(std::string_view name) const {
  const Impl& d = *impl_;
  if (name.empty()) {
    std::string all;
    if (!d.statusLine.empty()) all += d.statusLine + "\r\n";
    for (const auto& [n, v] : d.headers) all += n + ": " + v + "\r\n";
    return all;
  }
  for (auto it = d.headers.rbegin(); it != d.headers.rend(); ++it)
    if (text::EqualsNoCase(it->first, name)) return it->second;
  return {};
}

void CurlInet::Cancel() {
  Impl& d = *impl_;
  if (!d.busy) return;
  if (d.transferring) curl_multi_remove_handle(d.multi, d.easy);
  d.transferring = false;
  d.marks.clear();
  d.body.clear();
  d.readPos = 0;
  if (d.silent) {
    d.End(kError, kCancelled, 0);
    return;
  }
  // A cancelled request ends in 11, not 12: its body is incomplete, and 12
  // would tell the caller that a whole page is there to be processed. The
  // 11 is raised before Cancel returns, and the request's undelivered events
  // are dropped, so nothing of it can reach a request started afterwards.
  d.queue.clear();
  d.raised = kCompleted;
  d.responseInfo = kCancelled;
  d.statusCode = 0;
  d.busy = false;
  d.delivered = true;
  const auto handler = StateChanged;
  if (handler) handler(kError);
}

bool CurlInet::StillExecuting() const { return impl_->busy; }

std::string CurlInet::URL() const { return impl_->url; }

std::string CurlInet::ResponseInfo() const { return impl_->responseInfo; }

int CurlInet::StatusCode() const { return impl_->statusCode; }

bool CurlInet::Pump() {
  const std::shared_ptr<bool> living = impl_->alive;
  impl_->Drive();
  impl_->Deliver();
  // A handler may have destroyed this instance: that, too, is news.
  if (!*living) return true;
  return std::exchange(impl_->delivered, false);
}

bool CurlInet::Active() const { return impl_->transferring || !impl_->queue.empty(); }

void CurlInet::WaitForActivity(std::chrono::milliseconds timeout) {
  Impl& d = *impl_;
  if (!d.queue.empty() || !d.transferring) return;
  // Wake up in time to notice a stalled, slow or overlong transfer.
  // (curl_multi_poll itself shortens the wait to curl's own timers, the
  // connect time-out among them.)
  auto wait = timeout;
  const Clock::time_point deadline = d.NextDeadline();
  if (deadline != Clock::time_point::max()) {
    const auto untilDeadline = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    wait = std::min(wait, untilDeadline + std::chrono::milliseconds(1));
  }
  wait = std::max(wait, std::chrono::milliseconds(0));
  int ready = 0;
  curl_multi_poll(d.multi, nullptr, 0, static_cast<int>(wait.count()), &ready);
}

}  // namespace zorvik
