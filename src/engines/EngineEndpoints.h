#pragma once
// Where every engine of the catalogue is reached: "http://host[:port]", one
// value per engine. Each engine starts on its built-in default; the file
// "engines.ini" of the program directory overrides single engines, one line
// each:
//
//   # comment (also ";")
//   Combo1/AltaVista = http://127.0.0.1:8080
//
// A line that cannot be used is skipped and reported in one warning.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class Host;
struct EngineRecord;

class EngineEndpoints {
 public:
  static constexpr std::string_view kFileName = "engines.ini";

  // Every engine on its default.
  EngineEndpoints();

  // "http://www." + the display name in lower case without blanks + ".com".
  static std::string DefaultEndpoint(std::string_view displayName);
  // "http://host[:port]" with an optional "/" at the end (dropped), or
  // nothing when the text is no such address.
  static std::optional<std::string> ParseEndpoint(std::string_view text);

  // The endpoint of an engine of the catalogue's table.
  std::string Endpoint(const EngineRecord& engine) const;
  void Set(const EngineRecord& engine, std::string endpoint);

  // Applies the lines of an engines.ini text; a later line for the same
  // engine wins. Returns one description per skipped line.
  std::vector<std::string> Parse(std::string_view text);

  // Reads dir/engines.ini. A missing file leaves every default; skipped lines
  // are reported through the host in one warning.
  static EngineEndpoints Load(const std::filesystem::path& dir, Host& host);

 private:
  std::vector<std::string> endpoints_;  // by position in the engine table
};

}  // namespace zorvik
