// Fuzz target: the settings file reader. A settings file may hold anything
// (an editor, a crash of another program, a copied binary file); it must load
// without crashing, and what it loads must save as eleven lines that load
// back to the same values.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zorvik::MailSettings loaded;
  zorvik::ParseSettings(bytes, loaded);
  const std::string saved = zorvik::SettingsText(loaded, loaded.MailDirectory);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = saved.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  if (lines != 11 || saved.size() < 2 || saved.compare(saved.size() - 2, 2, "\r\n") != 0)
    __builtin_trap();
  zorvik::MailSettings again;
  zorvik::ParseSettings(saved, again);
  if (!(again == loaded)) __builtin_trap();
  return 0;
}
