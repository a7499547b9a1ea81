#pragma once
// Files the robot could not write during a search (a full or read-only disk,
// a missing folder). The first failure of a search is told to the user, who
// chooses whether the search goes on; later ones of the same search are only
// counted. A host without a user answers a message box with its first
// button, "Yes" to "Stop the search?", so a search run from the command line
// stops at its first failed write.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace zorvik {

class Host;

class WriteFailures {
 public:
  explicit WriteFailures(Host& host) : host_(host) {}

  // A search begins: its first failure is told again.
  void NewSearch() { toldThisSearch_ = false; }
  // A write of `file` failed with `error`. The first failure of the search
  // shows "Could not write "FILE": REASON. Stop the search?" and runs `stop`
  // when the answer is Yes.
  void Report(const std::filesystem::path& file, std::error_code error);

  // What stopping the search means (the robot's Stop command).
  std::function<void()> stop;

  // The text of the first failure told since the robot was made, and how
  // many writes failed in all.
  const std::optional<std::string>& First() const { return first_; }
  std::size_t Count() const { return count_; }

 private:
  Host& host_;
  bool toldThisSearch_ = false;
  std::optional<std::string> first_;
  std::size_t count_ = 0;
};

}  // namespace zorvik
