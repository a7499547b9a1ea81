#include "cli/CommandHelpers.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

#include "core/RobotForm.h"

namespace zorvik::cli {

std::optional<std::string> ReadWhole(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return std::nullopt;
  std::string content;
  char buffer[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, n);
  if (std::ferror(file.get())) return std::nullopt;
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
