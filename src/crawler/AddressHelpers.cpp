#include "crawler/AddressHelpers.h"

#include "core/Text.h"

namespace HandyStuff {

using zorvik::text::InStr;

namespace {

bool EndsWithSlash(std::string_view a) { return !a.empty() && a.back() == '/'; }

// The text after the last `separator`, the whole text without one, empty when
// the text ends with it.
std::string AfterLast(std::string_view text, char separator) {
  const std::size_t cut = text.rfind(separator);
  if (cut == std::string_view::npos) return std::string(text);
  return std::string(text.substr(cut + 1));
}

}  // namespace

std::string ServerPart(std::string_view address) {
  const std::size_t slashes = InStr(address, "//");
  if (slashes > 0) {
    const std::size_t slash = InStr(slashes + 2, address, "/");
    if (slash > 0) return std::string(address.substr(0, slash - 1));
  }
  return std::string(address);
}

bool HasPathAfterServer(std::string_view address) {
  if (EndsWithSlash(address)) return false;
  const std::size_t slashes = InStr(address, "//");
  if (slashes == 0) return true;
  return InStr(slashes + 2, address, "/") > 0;
}

std::string DirectoryPart(std::string_view address) {
  if (!HasPathAfterServer(address)) return std::string(address);
  // Walk back from the last character until a "/" or the first character.
  std::size_t i = address.size();
  while (i > 1 && address[i - 1] != '/') --i;
  return std::string(address.substr(0, i));
}

std::string FileNamePart(std::string_view address) { return AfterLast(address, '/'); }

std::string UrlExtension(std::string_view address) {
  if (EndsWithSlash(address)) return {};
  const std::size_t n = address.size();
  if (n >= 4 && address[n - 4] == '.') return std::string(address.substr(n - 3));
  if (n >= 5 && address[n - 5] == '.') return std::string(address.substr(n - 4));
  return {};
}

long SmallerOf(long a, long b) { return a < b ? a : b; }
long LargerOf(long a, long b) { return a > b ? a : b; }

bool CheckAddress(std::string& address) {
  if (address.empty()) return false;
  const char first = address.front();
  const bool alnum = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') ||
                     (first >= '0' && first <= '9');
  if (!alnum) return false;
  if (InStr(address, "//") == 0) address.insert(0, "http://");
  if (!HasPathAfterServer(address) && !EndsWithSlash(address) && InStr(8, address, "/") == 0) {
    address += '/';
  }
  return true;
}

}  // namespace HandyStuff

namespace zorvik {

std::string WithoutPort80(std::string_view address) {
  std::string result(address);
  const std::size_t slashes = result.find("//");
  const std::size_t hostStart = slashes == std::string::npos ? 0 : slashes + 2;
  const std::size_t hostEnd = result.find('/', hostStart);
  const std::size_t serverEnd = hostEnd == std::string::npos ? result.size() : hostEnd;
  const std::size_t at = result.rfind(":80", serverEnd);
  if (at != std::string::npos && at >= hostStart && at + 3 == serverEnd) result.erase(at, 3);
  return result;
}

}  // namespace zorvik
