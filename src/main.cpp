#include <sheetgen/run.h>

#include <iostream>

#include "progress.h"

int main() {
  sheetgen::progress_line line(std::cerr, sheetgen::stderr_is_terminal());
  return sheetgen::run_program(sheetgen::show_run_progress(line));
}
