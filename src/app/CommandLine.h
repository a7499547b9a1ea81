#pragma once
// The options zorvik answers before it opens a window (and so without a
// display): --help and --version. Every other argument is left to Qt.

#include <optional>

namespace zorvik::app {

// The exit status when the arguments ask for help or the version (printed
// on standard output); nothing when the program is to start.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv);

}  // namespace zorvik::app
