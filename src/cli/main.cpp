#include <iostream>
#include <string>
#include <vector>

#include "cli/SearchTool.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zorvik::cli::RunSearchTool(args, std::cout, std::cerr);
}
