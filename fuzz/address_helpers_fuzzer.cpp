// Fuzz target: the address helpers on any text (addresses come from pages
// and from the user). Besides not crashing, the parts they cut must be parts
// of the address, and a checked address must be a completion of the typed one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crawler/AddressHelpers.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view a(reinterpret_cast<const char*>(data), size);
  using namespace HandyStuff;

  Check(StartsWith(a, ServerPart(a)));
  const std::string dir = DirectoryPart(a);
  Check(StartsWith(a, dir));
  Check(dir == a || dir.empty() || dir.back() == '/' || dir.size() == 1);
  const std::string file = FileNamePart(a);
  Check(EndsWith(a, file) && file.find('/') == std::string::npos);
  const std::string ext = UrlExtension(a);
  Check(EndsWith(a, ext) && (ext.empty() || ext.size() == 3 || ext.size() == 4));
  (void)HasPathAfterServer(a);

  std::string checked(a);
  if (CheckAddress(checked)) {
    const bool schemed = StartsWith(checked, "http://") && checked.find(a) != std::string::npos;
    Check(StartsWith(checked, a) || schemed);
    Check(checked.size() <= a.size() + 8);
  } else {
    Check(checked == a);
  }
  return 0;
}
