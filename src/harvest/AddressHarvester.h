#pragma once
// The e-mail address harvest: at most one address per page, the one written
// around the first "@" of the page text. A 30-character window before the
// "@" gives the local part, a 30-character window from the "@" on gives the
// domain; the candidate is filtered, cleaned and, when it differs from the
// address recorded last, appended to the address file
// (ResultBaseName + "_mailfile.txt" in the program directory) and to List1.
// Control characters end an address like the other delimiters.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <initializer_list>

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
  // Returns the address recorded, if any. An address that cannot be
  // appended to the address file is still listed and counted; the error is
  // kept in LastWriteError until the next harvest.
  std::optional<std::string> Harvest();
  std::error_code LastWriteError() const { return writeError_; }

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
  std::error_code writeError_;
};

// Appends `lines` to `file` (created when missing), each followed by CR LF,
// in one piece: when the disk is full or any other error strikes midway the
// file is cut back to where it was, so a record is written whole or not at
// all. A control character inside a line becomes a blank, so a line is
// never split. Gives the error, if any.
std::error_code AppendLines(const std::filesystem::path& file, std::initializer_list<std::string_view> lines);
inline std::error_code AppendLine(const std::filesystem::path& file, std::string_view line) {
  return AppendLines(file, {line});
}

}  // namespace harvest
}  // namespace zorvik
