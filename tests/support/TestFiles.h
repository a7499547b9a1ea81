#pragma once
// Whole-file reads and writes for tests that compare what the program wrote.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zorvik::testing {

// The file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

}  // namespace zorvik::testing
