// A sum of 64-bit integers that cannot overflow whatever a run or a class
// of runs holds (2e10 instances of defect areas near 2e12 would): 128-bit
// two's complement.
#ifndef SHEETKIT_WIDE_SUM_H_
#define SHEETKIT_WIDE_SUM_H_

#include <cmath>
#include <cstdint>

namespace sheetkit {

/// Adds 64-bit integers exactly; value() is the nearest double.
class wide_sum {
 public:
  /// Adds `v`.
  void add(int64_t v) {
    const uint64_t before = low_;
    low_ += static_cast<uint64_t>(v);
    high_ += (v < 0 ? -1 : 0) + (low_ < before ? 1 : 0);
  }
  /// Adds what `other` holds.
  void add(const wide_sum& other) {
    const uint64_t before = low_;
    low_ += other.low_;
    high_ += other.high_ + (low_ < before ? 1 : 0);
  }
  /// The sum.
  double value() const {
    return std::ldexp(static_cast<double>(high_), 64) + static_cast<double>(low_);
  }
  /// The sum over `n`, a mean.
  double mean(int64_t n) const { return value() / static_cast<double>(n); }

 private:
  uint64_t low_ = 0;
  int64_t high_ = 0;
};

}  // namespace sheetkit

#endif  // SHEETKIT_WIDE_SUM_H_
