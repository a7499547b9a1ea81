#pragma once
// Helpers shared by the mail tests.

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail::test {

// The SMTP sink of every test here (account alice, password "s3cret pass"),
// started on first use.
inline testing::SmtpSink& Sink() {
  static testing::SmtpSink sink("alice:s3cret pass");
  return sink;
}

// The length of the longest line of CRLF-separated text; npos when the text
// holds a bare CR or LF.
inline std::size_t LongestLine(std::string_view text) {
  std::size_t longest = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    if (line.find_first_of("\r\n") != std::string_view::npos) return std::string_view::npos;
    longest = std::max(longest, line.size());
    pos = end + 2;
  }
  return longest;
}

// `size` bytes of every value, in no simple pattern.
inline std::string Binary(std::size_t size) {
  std::string b;
  for (std::size_t i = 0; i < size; ++i) b += static_cast<char>((i * 37 + i / 11) % 256);
  return b;
}

// Runs the host's event loop until `done` holds or `limit` has passed.
inline void PumpUntil(testing::FakeHost& host, const std::function<bool()>& done,
                      std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline)
    host.WaitEvents(std::chrono::milliseconds(20));
}

}  // namespace zorvik::mail::test
