// Generates the worked example in memory and prints each instance's total
// item area and its defects, without writing a file.
#include <sheetgen/generator.h>

#include <cstdint>
#include <iostream>

int main() try {
  sheetgen::run_parameters p;
  p.no_instances = 2;
  p.object.length = p.object.width = 10;
  p.no_items = 4;
  p.minrelsize = 0.1f;
  p.maxrelsize = 0.2f;
  p.no_defects = 2;
  p.defects[0] = sheetgen::rectangle::of(3, 2);  // length, width
  p.defects[1] = sheetgen::rectangle::of(10, 1);
  p.seed = 19;

  sheetgen::item_generator items(p);
  while (items.next()) {
    int64_t total = 0;
    for (const sheetgen::rectangle& item : items.items()) total += item.area;
    std::cout << "instance " << items.instances_done() << ": item area " << total << '\n';
  }
  sheetgen::defect_placer defects = std::move(items).defects();
  while (defects.next()) {
    for (const sheetgen::placed_defect& d : defects.defects()) {
      std::cout << "instance " << defects.instances_done() << ": defect at " << d.x1 << ',' << d.y1
                << '\n';
    }
  }
} catch (const sheetgen::error& e) {
  std::cerr << e.what() << '\n';
  return 1;
}
