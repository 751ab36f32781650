// Types and limits shared by the whole run.
#ifndef SHEETGEN_SHEETGEN_H_
#define SHEETGEN_SHEETGEN_H_

#include <array>
#include <cstdint>
#include <string>

namespace sheetgen {

// Capacities of the fixed tables; raising them means recompiling.
constexpr int32_t MAXMOD = 20000;  // item tables, per instance
constexpr int32_t MAXDEF = 1000;   // defect tables

// File names are one word of at most this many characters.
constexpr std::size_t MAXNAME = 79;

struct rectangle {
  int32_t area = 0;
  int32_t length = 0;  // along the large object's length
  int32_t width = 0;   // along the large object's width
};

// The answers of the dialogue and what follows from them; written only by
// the driver, read by item generation and defect placement.
struct run_parameters {
  int32_t no_instances = 0;
  rectangle object;
  int32_t no_items = 0;
  float minrelsize = 0;
  float maxrelsize = 0;
  int32_t minarea = 0;
  int32_t maxarea = 0;
  int32_t no_defects = 0;
  std::array<rectangle, MAXDEF> defects{};
  std::string filename;
  std::string defectfilename;
  int32_t seed = 0;
};

// The one way a run stops early. Its message reaches the user unchanged;
// the driver then reads and discards one answer and ends with status 1.
struct run_aborted {
  std::string message;
};

[[noreturn]] void abort_run(std::string message);

// Nearest integer, halves away from zero, exactly; |x| < 2^62. Every real
// value that becomes a dimension or a position goes through here.
inline int64_t round_half_away(double x) {
  const int64_t t = static_cast<int64_t>(x);       // toward zero
  const double rest = x - static_cast<double>(t);  // exact
  // Comparisons as numbers, not branches: a fraction is a coin toss that
  // a branch predictor loses half the time.
  return t + static_cast<int64_t>(rest >= 0.5) - static_cast<int64_t>(rest <= -0.5);
}

}  // namespace sheetgen

#endif  // SHEETGEN_SHEETGEN_H_
