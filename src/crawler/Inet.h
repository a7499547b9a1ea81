#pragma once
// The HTTP transfer component: one GET at a time, its progress reported as
// numbered states through StateChanged, the body read back in pieces.
//
// States of a request, always raised in ascending order on the caller's
// thread from inside its yields (Host::DoEvents / Host::WaitEvents):
//    1 resolving host      2 host resolved      3 connecting      4 connected
//    5 requesting          6 request sent       7 receiving response
//    8 response received (the whole body is in)  9 disconnecting  10 disconnected
//   11 error               12 response completed
// Every request started by Execute ends with exactly one of 11 or 12. A failed
// request may skip states (a refused connection goes 1, 2, 3, 11); a
// completed one raises every state but 11. An HTTP error status (404, 500) is
// a completed response: 12, with the server's page as body.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/Version.h"

namespace zorvik {

// Everything a transfer can be tuned by, with the defaults the program uses.
struct InetSettings {
  std::string userAgent = std::string("Zorvik/") + kVersion;
  // Redirects are followed up to this many hops; one more ends in 11.
  long maxRedirects = 10;
  // Name resolution plus connection set-up; past it the request fails with
  // "Cannot connect".
  std::chrono::milliseconds connectTimeout{30'000};
  // A request that receives no byte for this long fails (a stalled server).
  std::chrono::milliseconds stallTimeout{60'000};
  // A request that receives fewer bytes than minBytesPerSecond on average
  // over minRateWindow fails (a server that trickles its body); 0 switches
  // the check off. The window starts once the connection stands.
  std::uint64_t minBytesPerSecond = 1024;
  std::chrono::milliseconds minRateWindow{60'000};
  // Longest a request may take from its start to its last byte; past it the
  // request fails, however fast the body comes. Zero switches it off.
  std::chrono::milliseconds maxTransferTime{300'000};
  // Largest decoded body accepted; a larger response ends in 11.
  std::uint64_t maxBodyBytes = std::uint64_t{64} << 20;
  // Accept-Encoding offered; empty offers every coding the client decodes
  // (gzip and deflate at least). Bodies are always handed out decoded.
  std::string acceptEncoding;
  // File of trusted certificate authorities (PEM); empty uses the system store.
  std::string caFile;
};

class Inet {
 public:
  // Types of GetChunk / OpenURL. Both hand out the bytes exactly as received
  // (after content decoding): page text is a byte string throughout the
  // program, so text is not transcoded and UTF-8 passes through.
  static constexpr int kText = 0;
  static constexpr int kBytes = 1;

  virtual ~Inet() = default;

  // Starts a GET of `url` and returns at once; progress arrives through
  // StateChanged. False, with nothing started and no event raised, when a
  // request is still executing on this instance. Any address is accepted:
  // one that is empty, malformed or not http/https ends in 11.
  virtual bool Execute(std::string_view url) = 0;
  // Fetches `url` and returns its body, yielding until the whole body is in.
  // Raises no StateChanged events. Returns an empty string on failure (see
  // ResponseInfo) or when a request is still executing on this instance.
  virtual std::string OpenURL(std::string_view url, int type = kText) = 0;
  // The next at most `size` bytes of the body received so far. After state
  // 8 the whole body is there, and an empty piece means its end.
  virtual std::string GetChunk(std::size_t size, int type = kText) = 0;
  // Value of a header of the final response (after redirects), the name
  // compared without regard to case; the last one when it occurs more than
  // once; empty when absent. An empty name gives the status line and every
  // header line, each ended by CR LF.
  virtual std::string GetHeader(std::string_view name) const = 0;
  // Ends the running request at once (no-op when none is running): a request
  // started by Execute raises its 11 before Cancel returns, with
  // ResponseInfo kCancelledInfo.
  virtual void Cancel() = 0;
  static constexpr std::string_view kCancelledInfo = "Cancelled";
  // True from Execute / OpenURL until the request's last event has been
  // delivered (or OpenURL has returned).
  virtual bool StillExecuting() const = 0;
  // The address of the running or last request exactly as it was given;
  // once a redirect has been followed, the address it led to.
  virtual std::string URL() const = 0;
  // Text of the last finished request: the status line of a completed
  // response ("HTTP/1.1 200 OK"), or a short description of the failure.
  // "Cannot connect" when the server could not be resolved or reached.
  virtual std::string ResponseInfo() const = 0;
  // HTTP status of the last finished request; 0 when it failed.
  virtual int StatusCode() const = 0;

  // Raised with each state; see the table above. The handler may yield, may
  // call Cancel, and may start the next request on this instance.
  std::function<void(std::int16_t)> StateChanged;
};

}  // namespace zorvik
