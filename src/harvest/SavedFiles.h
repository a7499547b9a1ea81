#pragma once
// Saving pages and pictures into the collection folder. Names come from web
// addresses, so each is reduced to one safe file name inside the folder.

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace zorvik::harvest {

// Longest name kept, in bytes.
inline constexpr std::size_t kMaxSavedNameBytes = 200;

// One harmless file name: "/", "\" and control characters become "_", a name
// of dots only has its dots replaced, a name longer than 200 bytes is cut
// (never inside a UTF-8 sequence), and an empty name becomes "index.htm".
// Percent escapes and query text stay as they are.
std::string SafeFileName(std::string_view name);

// Writes `bytes` to folder/SafeFileName(name), replacing any file of that
// name; a failed write leaves an existing file as it was. Returns the path
// written, or an empty path on failure (its reason in `error` when given).
std::filesystem::path SaveIntoFolder(const std::filesystem::path& folder, std::string_view name,
                                     std::string_view bytes, std::error_code* error = nullptr);

}  // namespace zorvik::harvest
