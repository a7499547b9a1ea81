#pragma once
// Status texts the robot shows for the states of the transfer component.

#include <array>
#include <cstdint>
#include <string_view>

namespace zorvik {

inline constexpr std::array<std::string_view, 13> kInetStateTexts = {
    "",                    // 0
    "Resolving Host",      // 1
    "Host Resolved",       // 2
    "Connecting",          // 3
    "Connected",           // 4
    "Requesting",          // 5
    "Request Sent",        // 6
    "Receiving Response",  // 7
    "Response Received",   // 8
    "Disconnecting",       // 9
    "Disconnected",        // 10
    "Error",               // 11
    "Response Completed",  // 12
};

// The text of a state; empty for numbers outside 0..12.
constexpr std::string_view InetStateText(std::int16_t state) {
  return state >= 0 && state < static_cast<std::int16_t>(kInetStateTexts.size())
             ? kInetStateTexts[static_cast<std::size_t>(state)]
             : std::string_view();
}

}  // namespace zorvik
