#include "cli/CommandHelpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "core/RobotForm.h"

namespace zorvik::cli {

namespace {

// Opens an input file for reading: a file descriptor, or -1 and the reason.
int OpenInput(const std::string& path, std::string& problem) {
  // Not blocking: opening a pipe would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    problem = std::strerror(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    problem = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = "not a regular file";
  } else if (static_cast<std::uint64_t>(info.st_size) > kMaxInputBytes) {
    problem = "larger than 1 GiB";
  } else {
    return fd;
  }
  ::close(fd);
  return -1;
}

}  // namespace

std::optional<std::string> InputFileProblem(const std::string& path) {
  std::string problem;
  const int fd = OpenInput(path, problem);
  if (fd < 0) return problem;
  ::close(fd);
  return std::nullopt;
}

std::optional<std::string> ReadWhole(const std::string& path, std::string& problem) {
  const int fd = OpenInput(path, problem);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) problem = std::strerror(errno);
    if (n <= 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
    // A file that grows while it is read is held to the limit all the same.
    if (content.size() > kMaxInputBytes) {
      problem = "larger than 1 GiB";
      break;
    }
  }
  ::close(fd);
  if (!problem.empty()) return std::nullopt;
  return content;
}

std::optional<std::string> ChooseEngineItem(RobotForm& form, std::array<bool, kEngineListCount>& given,
                                            const std::string& value) {
  const std::size_t slash = value.find('/');
  int n = 0;
  if (slash != std::string::npos) {
    std::string_view list(value.data(), slash);
    if (list.size() == 6 && list.substr(0, 5) == "Combo") list.remove_prefix(5);
    if (list.size() == 1 && list[0] >= '1' && list[0] <= '5') n = list[0] - '0';
  }
  if (n == 0) return "--engine wants LIST/NAME with LIST one of Combo1 ... Combo5, not \"" + value + "\"";
  const std::string name = value.substr(slash + 1);
  const EngineList& list = EngineListAt(n);
  if (name.empty() || std::find(list.items.begin(), list.items.end(), name) == list.items.end())
    return std::string(list.control) + " has no item \"" + name + "\" (see --help)";
  if (given[static_cast<std::size_t>(n - 1)]) return std::string(list.control) + " is chosen twice";
  given[static_cast<std::size_t>(n - 1)] = true;
  form.Combo(n) = name;
  return std::nullopt;
}

}  // namespace zorvik::cli
