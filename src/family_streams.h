// The generators the families draw from: the minimal standard one (the
// dialogue's) for the families of our own, and the linear congruential one
// with which the classic bin packing sets were made.
#ifndef SHEETGEN_FAMILY_STREAMS_H_
#define SHEETGEN_FAMILY_STREAMS_H_

#include <cstdint>

namespace sheetgen {

// The minimal standard generator: state' = 16807 state mod 2^31 - 1, a
// draw is state' / (2^31 - 1). The same sequence as random_generator, but
// with the product folded instead of Schrage's division, which a loop of
// draws pays for.
class minimal_stream {
 public:
  explicit minimal_stream(int32_t start) : state_(static_cast<uint32_t>(start)) {}

  double draw() {
    const uint64_t p = uint64_t{state_} * 16807u;
    const uint64_t v = (p & 0x7fffffffu) + (p >> 31);
    state_ = static_cast<uint32_t>((v & 0x7fffffffu) + (v >> 31));
    return static_cast<double>(state_) / 2147483647.0;
  }

  // An integer uniform in [low, high] (low <= high, high - low < 2^31):
  // low + int(u (high - low + 1)); u < 1, so it never reaches high + 1.
  int32_t between(int32_t low, int32_t high) {
    const double span = static_cast<double>(int64_t{high} - low + 1);
    return static_cast<int32_t>(low + static_cast<int64_t>(draw() * span));
  }

  int32_t state() const { return static_cast<int32_t>(state_); }

 private:
  uint32_t state_;
};

// The bin packing sets' generator: v' = (7141 v + 54773) mod 259200, a
// draw is v' / 259200 in double precision; v < 259200 keeps 7141 v + 54773
// below 2^31.
class classic_stream {
 public:
  static constexpr int32_t modulus = 259200;
  static constexpr int32_t multiplier = 7141;
  static constexpr int32_t increment = 54773;

  double draw() {
    v_ = (v_ * multiplier + increment) % modulus;
    return static_cast<double>(v_) / static_cast<double>(modulus);
  }

  // The state after `n` more draws, in O(log n) steps: the draw is the
  // affine map v -> a v + c, and n of them compose to v -> A v + C.
  void skip(int64_t n) {
    int64_t a = multiplier, c = increment;  // the map of 2^k draws
    int64_t big_a = 1, big_c = 0;           // the map of the draws so far
    while (n > 0) {
      if (n & 1) {
        big_a = big_a * a % modulus;
        big_c = (big_c * a + c) % modulus;
      }
      c = (c * a + c) % modulus;
      a = a * a % modulus;
      n >>= 1;
    }
    v_ = static_cast<int32_t>((big_a * v_ + big_c) % modulus);
  }

  int32_t state() const { return v_; }

 private:
  int32_t v_ = 0;
};

}  // namespace sheetgen

#endif  // SHEETGEN_FAMILY_STREAMS_H_
