#pragma once
// The version file the update check fetches: a small text file on the
// program's web site that names the newest release.
//
//   # Zorvik version file ("#" starts a comment line)
//   version = 0.2.0
//   build = 17
//   archive = zorvik-0.2.0.tar.gz
//   size = 4183040
//   sha256 = 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08
//
// One "name = value" per line, CR LF or LF line ends, names in any case,
// blanks around names and values ignored, unknown names ignored (room for
// later additions), a later line for the same name wins. Required:
//   version  1 to 4 numbers separated by dots ("0.2", "1.10.3"), each at
//            most 9 digits; compared number by number, a missing one as 0
//   build    a whole number, compared when the versions are equal
//   archive  the release to download: an http or https address, or a path
//            relative to the version file's own address; the last part of its
//            path (letters, digits, ".", "-", "_", "+"; not starting with
//            ".") is the name it is saved under
// Optional, checked before a download is kept:
//   size     the archive's size in bytes
//   sha256   its SHA-256 as 64 hexadecimal digits

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

// Largest version file read; a bigger one is refused as malformed.
inline constexpr std::size_t kMaxVersionFileBytes = 64 * 1024;

struct ReleaseVersion {
  std::array<std::uint32_t, 4> numbers{};
  std::uint32_t build = 0;

  // The version as written ("0.2.0").
  std::string text;

  // Negative, 0 or positive as this release is older, the same or newer.
  int Compare(const ReleaseVersion& other) const;
};

// "1.10.3" and a build number; nothing when the text is no such version.
std::optional<ReleaseVersion> ParseReleaseVersion(std::string_view version, std::string_view build);

struct VersionFile {
  ReleaseVersion release;
  std::string archiveUrl;   // absolute
  std::string archiveName;  // the file name it is saved under
  std::optional<std::uint64_t> size;
  std::string sha256;       // lower-case hex, or empty
};

// Parses the text of a version file fetched from `fileUrl`. On failure
// `error` says why, in words for the user ("no \"build\" line").
std::optional<VersionFile> ParseVersionFile(std::string_view text, std::string_view fileUrl,
                                            std::string& error);

// Text from the web as a message shows it: at most 80 bytes, control
// characters as blanks.
std::string ShownValue(std::string_view value);

}  // namespace zorvik
