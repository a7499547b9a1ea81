#pragma once
// Helpers shared by the mail tests.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "support/FakeHost.h"

namespace zorvik::mail::test {

// The length of the longest line of CRLF-separated text; npos when the text
// holds a bare CR or LF.
std::size_t LongestLine(std::string_view text);

// `size` bytes of every value, in no simple pattern.
std::string Binary(std::size_t size);

// Runs the host's event loop until `done` holds or `limit` has passed.
void PumpUntil(testing::FakeHost& host, const std::function<bool()>& done,
               std::chrono::seconds limit = std::chrono::seconds(20));

}  // namespace zorvik::mail::test
