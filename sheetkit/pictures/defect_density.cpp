#include "pictures/defect_density.h"

#include <algorithm>

namespace sheetkit {

namespace {

std::vector<int64_t> edges(int64_t extent, int64_t cells) {
  std::vector<int64_t> e(static_cast<std::size_t>(cells + 1));
  for (int64_t i = 0; i <= cells; ++i) e[static_cast<std::size_t>(i)] = i * extent / cells;
  return e;
}

}  // namespace

defect_density::defect_density(int64_t length, int64_t width, int64_t columns, int64_t rows)
    : length_(length),
      width_(width),
      columns_(columns),
      rows_(rows),
      x_edges_(edges(length, columns)),
      y_edges_(edges(width, rows)),
      whole_(static_cast<std::size_t>((columns + 1) * (rows + 1))),
      across_(static_cast<std::size_t>((columns + 1) * rows)),
      along_(static_cast<std::size_t>(columns * (rows + 1))),
      single_(static_cast<std::size_t>(columns * rows)) {}

defect_density::span defect_density::split(const std::vector<int64_t>& edges, int64_t extent,
                                           int64_t a, int64_t b) {
  const auto n = static_cast<int64_t>(edges.size()) - 1;
  // The cell holding unit v is the last i with floor(i * extent / n) <= v,
  // that is with i * extent < (v + 1) * n.
  auto cell_of = [&](int64_t v) { return ((v + 1) * n + extent - 1) / extent - 1; };
  auto edge = [&](int64_t i) { return edges[static_cast<std::size_t>(i)]; };
  const int64_t first = cell_of(a), last = cell_of(b - 1);
  span s;
  s.low = edge(first) == a ? first : first + 1;
  s.high = std::max(s.low, edge(last + 1) == b ? last + 1 : last);
  auto part = [&](int64_t i, int64_t covered) {
    s.part_cell[s.parts] = i;
    s.part_length[s.parts] = covered;
    ++s.parts;
  };
  if (first == last) {
    if (s.low == s.high) part(first, b - a);
  } else {
    if (edge(first) != a) part(first, edge(first + 1) - a);
    if (edge(last + 1) != b) part(last, b - edge(last));
  }
  return s;
}

void defect_density::add(const placed_defect& d) {
  const int64_t x1 = std::clamp<int64_t>(d.x1, 0, length_),
                x2 = std::clamp<int64_t>(d.x2, 0, length_);
  const int64_t y1 = std::clamp<int64_t>(d.y1, 0, width_),
                y2 = std::clamp<int64_t>(d.y2, 0, width_);
  if (x1 >= x2 || y1 >= y2) return;
  const span x = split(x_edges_, length_, x1, x2), y = split(y_edges_, width_, y1, y2);
  if (x.low < x.high && y.low < y.high) {
    whole_[corner(x.low, y.low)] += 1;
    whole_[corner(x.high, y.low)] -= 1;
    whole_[corner(x.low, y.high)] -= 1;
    whole_[corner(x.high, y.high)] += 1;
  }
  for (int k = 0; k < y.parts && x.low < x.high; ++k) {
    across_[corner(x.low, y.part_cell[k])] += y.part_length[k];
    across_[corner(x.high, y.part_cell[k])] -= y.part_length[k];
  }
  for (int k = 0; k < x.parts && y.low < y.high; ++k) {
    along_[cell(x.part_cell[k], y.low)] += x.part_length[k];
    along_[cell(x.part_cell[k], y.high)] -= x.part_length[k];
  }
  for (int kx = 0; kx < x.parts; ++kx)
    for (int ky = 0; ky < y.parts; ++ky)
      single_[cell(x.part_cell[kx], y.part_cell[ky])] += x.part_length[kx] * y.part_length[ky];
}

std::vector<int64_t> defect_density::covered() const {
  std::vector<int64_t> out(static_cast<std::size_t>(columns_ * rows_));
  std::vector<int64_t> whole_row(static_cast<std::size_t>(columns_));  // running 2-D sums
  std::vector<int64_t> along_row(static_cast<std::size_t>(columns_));  // running column sums
  for (int64_t j = 0; j < rows_; ++j) {
    const int64_t height =
        y_edges_[static_cast<std::size_t>(j + 1)] - y_edges_[static_cast<std::size_t>(j)];
    int64_t whole_run = 0, across_run = 0;  // running sums along the row
    for (int64_t i = 0; i < columns_; ++i) {
      const auto k = static_cast<std::size_t>(i);
      const int64_t width = x_edges_[k + 1] - x_edges_[k];
      whole_run += whole_[corner(i, j)];
      whole_row[k] += whole_run;
      across_run += across_[corner(i, j)];
      along_row[k] += along_[cell(i, j)];
      out[cell(i, j)] = whole_row[k] * width * height + across_run * width + along_row[k] * height +
                        single_[cell(i, j)];
    }
  }
  return out;
}

}  // namespace sheetkit
