#include <sheetgen/run.h>

#include <iostream>

#include "progress.h"

int main() {
  sheetgen::progress_line line(std::cerr, sheetgen::stderr_is_terminal());
  return sheetgen::run_program([&line](const sheetgen::run_progress& p) {
    using stage = sheetgen::run_progress::stage;
    if (p.pass == stage::finished) {
      line.clear();
    } else if (p.instances_done == 0) {
      line.start(p.instances_total, p.pass == stage::items ? "items" : "defects");
    } else {
      line.update(p.instances_done, p.lines_done);
    }
  });
}
