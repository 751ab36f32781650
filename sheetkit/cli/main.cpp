#include <iostream>

#include "cli/cli.h"
#include "progress/progress_line.h"

int main(int argc, char** argv) {
  return sheetkit::sheetkit_main(argc, argv, std::cout, std::cerr, sheetgen::stderr_is_terminal());
}
