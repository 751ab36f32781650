// What the tables of families and defect laws are made of: the checked
// parameters' values, and each entry's maker.
#ifndef SHEETGEN_FAMILY_PARTS_H_
#define SHEETGEN_FAMILY_PARTS_H_

#include <sheetgen/families.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace sheetgen {

// A checked parameter's value, by its place in its kind's table: the
// parameters reach a maker complete and in that order.
int64_t integer_at(std::span<const parameter> checked, std::size_t k);
// A fraction in millionths (0 < f <= 1000000).
int64_t millionths_at(std::span<const parameter> checked, std::size_t k);
// A count of copies, or unlimited_copies.
int64_t copies_at(std::span<const parameter> checked, std::size_t k);

// The families of the table, with their parameters.
extern const parameter_info binpacking_parameters[3];
extern const parameter_info knapsack_parameters[5];
extern const parameter_info gcut_parameters[4];
std::unique_ptr<family> make_binpacking(std::span<const parameter> checked);
std::unique_ptr<family> make_knapsack(std::span<const parameter> checked);
std::unique_ptr<family> make_gcut(std::span<const parameter> checked);
extern const parameter_info perfect_parameters_table[8];
std::unique_ptr<family> make_perfect(std::span<const parameter> checked);

// The defect laws of the table, with their parameters.
extern const parameter_info sizes_parameters[1];
extern const parameter_info separate_parameters[4];
extern const parameter_info points_parameters[3];
std::unique_ptr<defect_law> make_sizes(std::span<const parameter> checked, rectangle object);
std::unique_ptr<defect_law> make_separate(std::span<const parameter> checked, rectangle object);
std::unique_ptr<defect_law> make_points(std::span<const parameter> checked, rectangle object);

}  // namespace sheetgen

#endif  // SHEETGEN_FAMILY_PARTS_H_
