// How much defect area falls into each cell of a grid over the object,
// exactly, for runs of any size: the figures behind the overlay of many
// defects.
#ifndef SHEETKIT_DEFECT_DENSITY_H_
#define SHEETKIT_DEFECT_DENSITY_H_

#include <cstdint>
#include <vector>

#include "files/instance.h"

namespace sheetkit {

/// Sums, per grid cell, the area that each defect shares with the cell, in
/// integers: a cell half covered by one defect and wholly by another holds
/// 1.5 times its area. Cells have whole-unit edges: along the length, cell i
/// spans [column_edge(i), column_edge(i + 1)) with column_edge(i) =
/// floor(i * length / columns), and likewise along the width; so their
/// sizes differ by at most one unit.
///
/// A defect costs the same whatever its size (four range updates on
/// difference arrays and at most four single cells), and memory is a few
/// numbers per cell: 20000 instances of 1000 defects take well under a second.
class defect_density {
 public:
  /// A grid of `columns` x `rows` cells over an object of `length` x
  /// `width` units; requires 1 <= columns <= length and 1 <= rows <= width.
  defect_density(int64_t length, int64_t width, int64_t columns, int64_t rows);

  /// Adds the defect's overlap with every cell; what lies outside the
  /// object is left out.
  void add(const placed_defect& d);

  /// The sums, cell (i, j) at j * columns() + i, row 0 at y = 0. Each is
  /// exact while the run's total defect area is below 2^63, which every
  /// run of at most 20000 x 1000 defects on an object of at most 2^31 is.
  std::vector<int64_t> covered() const;

  /// Grid size.
  int64_t columns() const { return columns_; }
  int64_t rows() const { return rows_; }
  /// Cell edges in units, 0 <= i <= columns() and 0 <= j <= rows().
  int64_t column_edge(int64_t i) const { return x_edges_[static_cast<std::size_t>(i)]; }
  int64_t row_edge(int64_t j) const { return y_edges_[static_cast<std::size_t>(j)]; }

 private:
  // Along one axis, the cells [low, high) that [a, b) covers wholly, and up
  // to two it covers in part, with how much of each.
  struct span {
    int64_t low = 0, high = 0;
    int parts = 0;
    int64_t part_cell[2] = {0, 0}, part_length[2] = {0, 0};
  };
  static span split(const std::vector<int64_t>& edges, int64_t extent, int64_t a, int64_t b);

  std::size_t cell(int64_t i, int64_t j) const {
    return static_cast<std::size_t>(j * columns_ + i);
  }
  std::size_t corner(int64_t i, int64_t j) const {
    return static_cast<std::size_t>(j * (columns_ + 1) + i);
  }

  int64_t length_, width_, columns_, rows_;
  std::vector<int64_t> x_edges_, y_edges_;
  // Cell (i, j) ends up holding
  //   whole(i, j) * cell width(i) * cell height(j)   defects covering all of it,
  // + across(i, j) * cell width(i)                   ... all its width, part of its height,
  // + along(i, j) * cell height(j)                   ... all its height, part of its width,
  // + single(i, j)                                   ... part of both.
  // The first three as difference arrays: 2-D, per row, per column.
  std::vector<int64_t> whole_;   // (columns + 1) x (rows + 1)
  std::vector<int64_t> across_;  // (columns + 1) per row
  std::vector<int64_t> along_;   // columns per row, rows + 1 rows
  std::vector<int64_t> single_;  // columns x rows
};

}  // namespace sheetkit

#endif  // SHEETKIT_DEFECT_DENSITY_H_
