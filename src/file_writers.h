// The lines of the two files: a block is its lines and one empty line.
#ifndef SHEETGEN_FILE_WRITERS_H_
#define SHEETGEN_FILE_WRITERS_H_

#include <sheetgen/types.h>

#include <cstddef>
#include <span>

#include "number_format.h"

namespace sheetgen {

// Room one line may take in a buffer: its numbers, each with what
// put_number touches.
constexpr std::size_t item_line_room = 3 * number_format::max_chars;
constexpr std::size_t defect_line_room = 4 * number_format::max_chars;

// "length\twidth\tarea\n" per item, then "\n". Needs
// items.size() * item_line_room + 1 bytes at `out`; returns the end.
inline char* put_item_block(std::span<const rectangle> items, char* out) {
  for (const rectangle& r : items) {
    out = number_format::put_number(out, r.length) + 1;
    out = number_format::put_number(out, r.width) + 1;
    out = number_format::put_number(out, r.area);
    *out++ = '\n';
  }
  *out++ = '\n';
  return out;
}

// "x1\ty1\tx2\ty2\n" per defect, then "\n". Needs
// defects.size() * defect_line_room + 1 bytes at `out`.
inline char* put_defect_block(std::span<const placed_defect> defects, char* out) {
  for (const placed_defect& d : defects) {
    out = number_format::put_number(out, d.x1) + 1;
    out = number_format::put_number(out, d.y1) + 1;
    out = number_format::put_number(out, d.x2) + 1;
    out = number_format::put_number(out, d.y2);
    *out++ = '\n';
  }
  *out++ = '\n';
  return out;
}

}  // namespace sheetgen

#endif  // SHEETGEN_FILE_WRITERS_H_
