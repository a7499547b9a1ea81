#pragma once
// The e-mail address harvest: at most one address per page, the one written
// around the first "@" of the page text. A 30-character window before the
// "@" gives the local part, a 30-character window from the "@" on gives the
// domain; the candidate is filtered, cleaned and, when it differs from the
// address recorded last, appended to the address file
// (ResultBaseName + "_mailfile.txt" in the program directory) and to List1.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

class Host;
struct RobotForm;
struct SearchState;

namespace harvest {

// Width of the windows taken on either side of the "@".
inline constexpr std::size_t kWindow = 30;

// The local part plus the domain part around the first "@" of `page`, with
// leading blanks removed: empty when the page has no "@" or nothing was found
// around it. Yields once per window step when `host` is given. Reads only the
// page, never beyond it; the two windows are copied out before the first
// yield, so whatever runs inside a yield may change the page's owner.
std::string FindCandidate(std::string_view page, Host* host);

// The acceptance tests, in order: differs from `previous` (leading blanks
// removed, upper case), at least 6 characters, not a single blank, holds
// "@", no "HIDDEN" or "hidden", no "listserv" or "majordomo" in any case.
bool AcceptCandidate(std::string_view candidate, std::string_view previous);

// Drops one leading double quote, line feed, carriage return and "<" and one
// trailing ".", "," and ">", in that order.
std::string CleanCandidate(std::string_view candidate);

// The local time of day as "HH:MM:SS", for the "Found at: " status text.
std::string TimeOfDayText(std::chrono::system_clock::time_point when);

class AddressHarvester {
 public:
  AddressHarvester(Host& host, RobotForm& form, const SearchState& state,
                   std::filesystem::path programDirectory);

  // Harvests form.PageText: records at most one address, then empties
  // PageText and the page accumulator and clears the opened-page mark.
  // Returns the address recorded, if any. Errors while appending to the
  // address file are ignored; the address is still listed and counted.
  std::optional<std::string> Harvest();

  // The address recorded last. Kept for the program's run, across searches.
  const std::string& PreviousAddress() const { return previous_; }
  void SetPreviousAddress(std::string address) { previous_ = std::move(address); }

  std::filesystem::path AddressFilePath() const;

 private:
  Host& host_;
  RobotForm& form_;
  const SearchState& state_;
  std::filesystem::path programDirectory_;
  std::string previous_;
};

// Appends `line` and CR LF to `file` (created when missing). False on any
// error.
bool AppendLine(const std::filesystem::path& file, std::string_view line);

}  // namespace harvest
}  // namespace zorvik
