#pragma once
// Pieces several commands of zorvik-search share.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engines/EngineCatalogue.h"

namespace zorvik {
struct RobotForm;
}

namespace zorvik::cli {

// The largest file a command reads: 1 GiB.
inline constexpr std::uint64_t kMaxInputBytes = std::uint64_t{1} << 30;

// Why a command cannot take `path` as an input file: the system's reason
// when it cannot be opened, "not a regular file" (a directory, a device such
// as /dev/zero, a pipe) or "larger than 1 GiB". Nothing when it can. Decided
// before a byte is read, and never waiting for a pipe's writer.
std::optional<std::string> InputFileProblem(const std::string& path);

// The whole file, or nothing with the reason in `problem`.
std::optional<std::string> ReadWhole(const std::string& path, std::string& problem);

// Puts "LIST/NAME" ("Combo1/Lycos" or "1/Lycos") into that engine list of the
// form, marking the list as given; the problem in words otherwise (no such
// list or item, or the list given twice).
std::optional<std::string> ChooseEngineItem(RobotForm& form, std::array<bool, kEngineListCount>& given,
                                            const std::string& value);

}  // namespace zorvik::cli
