#include "harvest/SavedFiles.h"

#include "harvest/AtomicFile.h"

namespace zorvik::harvest {

std::string SafeFileName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    safe += (c == '/' || c == '\\' || u < 32 || u == 127) ? '_' : c;
  }
  if (safe.size() > kMaxSavedNameBytes) {
    std::size_t cut = kMaxSavedNameBytes;
    // Step back over UTF-8 continuation bytes to the start of a character.
    while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) --cut;
    safe.resize(cut);
  }
  if (safe.find_first_not_of('.') == std::string::npos) {
    for (char& c : safe) c = '_';
  }
  if (safe.empty()) safe = "index.htm";
  return safe;
}

std::filesystem::path SaveIntoFolder(const std::filesystem::path& folder, std::string_view name,
                                     std::string_view bytes, std::error_code* error) {
  const std::filesystem::path target = folder / SafeFileName(name);
  AtomicFile file(target);
  file.Write(bytes);
  if (!file.Commit()) {
    if (error != nullptr) *error = file.error();
    return {};
  }
  return target;
}

}  // namespace zorvik::harvest
