#include <filesystem>
#include <iostream>

#include "driver.h"

int main() {
  std::ios::sync_with_stdio(false);
  return sheetgen::run(std::cin, std::cout, std::filesystem::path());
}
