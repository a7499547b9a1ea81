#pragma once
// Pieces several commands of zorvik-search share.

#include <array>
#include <optional>
#include <string>

#include "engines/EngineCatalogue.h"

namespace zorvik {
struct RobotForm;
}

namespace zorvik::cli {

// The whole file, or nothing when it cannot be read (a directory opens but
// fails on the first read).
std::optional<std::string> ReadWhole(const std::string& path);

// Puts "LIST/NAME" ("Combo1/Lycos" or "1/Lycos") into that engine list of the
// form, marking the list as given; the problem in words otherwise (no such
// list or item, or the list given twice).
std::optional<std::string> ChooseEngineItem(RobotForm& form, std::array<bool, kEngineListCount>& given,
                                            const std::string& value);

}  // namespace zorvik::cli
