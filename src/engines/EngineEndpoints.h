#pragma once
// Where every engine of the catalogue is reached: "http://host[:port]", one
// value per engine. Each engine starts on its built-in default; the file
// "engines.ini" overrides single engines, one line each (the program
// directory's copy, else the shipped one, which only holds comments):
//
//   # comment (also ";")
//   Combo1/AltaVista = http://127.0.0.1:8080
//
// The same file holds the addresses of the program's own pages, each any
// http, https or file address (a name without "/", in any case):
//
//   Banner = http://127.0.0.1:8080/banner.htm    the main window's banner
//   ProductPage = https://example.org/zorvik/     the program's web page
//   UpdateCheck = https://example.org/version.txt the update check's version file
//   InfoPage = file:///home/me/info.htm           the internal browser's first page
//   HomePage = http://127.0.0.1:8080/             the internal browser's "Home"
//
// A line that cannot be used is skipped and reported in one warning.

#include <array>
#include <filesystem>
#include <map>
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
  // Names of the program's own addresses the file may set.
  static constexpr std::array<std::string_view, 5> kPageNames = {"Banner", "ProductPage", "UpdateCheck",
                                                                 "InfoPage", "HomePage"};

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

  // The address the file gives for one of kPageNames; empty when it gives
  // none (the caller then uses its default).
  std::string PageAddress(std::string_view name) const;

  // Applies the lines of an engines.ini text; a later line for the same
  // engine wins. Returns one description per skipped line.
  std::vector<std::string> Parse(std::string_view text);

  // Reads engines.ini: dir's own, else the shipped file (ShippedFile's
  // lookup with dir as the program directory). A missing file leaves every
  // default; skipped lines are reported through the host in one warning.
  static EngineEndpoints Load(const std::filesystem::path& dir, Host& host);

 private:
  std::vector<std::string> endpoints_;  // by position in the engine table
  std::map<std::string, std::string, std::less<>> pages_;  // by name in kPageNames
};

}  // namespace zorvik
