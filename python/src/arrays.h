// Blocks of a run as the numpy arrays Python gets: new arrays the caller
// owns, never views into a buffer that the next block overwrites.
#ifndef SHEETGEN_PYTHON_ARRAYS_H_
#define SHEETGEN_PYTHON_ARRAYS_H_

#include <pybind11/numpy.h>
#include <sheetgen/types.h>

#include <cstdint>
#include <span>

namespace sheetgen::python {

// int32, shape (items, 3): length, width, area, as the instance file has them.
pybind11::array_t<int32_t> item_array(std::span<const rectangle> items);

// int32, shape (defects, 4): x1, y1, x2, y2; shape (0, 4) without defects.
pybind11::array_t<int32_t> defect_array(std::span<const placed_defect> defects);

}  // namespace sheetgen::python

#endif  // SHEETGEN_PYTHON_ARRAYS_H_
