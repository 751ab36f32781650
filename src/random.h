// The run's one source of randomness: the minimal standard multiplicative
// congruential generator (multiplier 16807, modulus 2^31 - 1).
#ifndef SHEETGEN_RANDOM_H_
#define SHEETGEN_RANDOM_H_

#include <cstdint>

namespace sheetgen {

// How far ahead random_generator::peek_states can look.
constexpr int max_peek = 256;

// A value: each generation owns one, so runs in one process are independent.
class random_generator {
 public:
  // The state is the seed as it is: no hashing, no clamping.
  explicit random_generator(int32_t seed = 0) : state_(seed) {}

  // Advances the state by one step and returns state / (2^31 - 1).
  double uniform_random();

  // The current state, for code that advances the sequence by itself.
  int32_t state() const { return state_; }
  void set_state(int32_t state) { state_ = state; }

  // The states of the next n draws (n <= max_peek), without advancing. Each
  // is computed straight from the current one (state x 16807^k mod 2^31 - 1),
  // so none waits for the one before it.
  void peek_states(int32_t* out, int n) const;

 private:
  int32_t state_;
};

// What a draw that leaves state `s` returns: exactly s / (2^31 - 1), for
// 0 <= s < 2^31 - 1, mostly without a division.
inline double state_value(int32_t s) {
  // s / (2^31 - 1) = (N + f) / 2^62 with N = s (2^31 + 1) and 0 < f < 1.
  // From N >= 2^53 on, doubles near N are at least 2 apart and every
  // rounding boundary is an integer, so N + f rounds like N + 1/2, which
  // 2N + 1 holds exactly; the conversion rounds it once, as the division
  // would. Smaller states divide.
  if (s < (int32_t{1} << 22)) return static_cast<double>(s) / 2147483647.0;
  const int64_t n = int64_t{s} * ((int64_t{1} << 31) + 1);
  return static_cast<double>(2 * n + 1) * 0x1p-63;
}

}  // namespace sheetgen

#endif  // SHEETGEN_RANDOM_H_
