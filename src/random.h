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
// 0 <= s < 2^31 - 1, without a division and without a branch, so that a
// loop of them vectorises.
inline double state_value(int32_t s) {
  // s / (2^31 - 1) = (N + f) / 2^62 with N = s (2^31 + 1) and 0 <= f < 1
  // (f = 0 only for s = 0). Below 2^53, N is a double and f is below half
  // of N's last place, so N is the nearest double. From 2^53 on, doubles
  // near N are at least 2 apart and every rounding boundary is an integer,
  // so N + f rounds like N + 1/2. Both sums below are of exact doubles and
  // round once; the scalings by powers of two are exact.
  const double d = static_cast<double>(s);
  const double half = s >= (int32_t{1} << 22) ? 0.5 : 0.0;  // N >= 2^53
  return (d * 0x1p31 + (d + half)) * 0x1p-62;
}

}  // namespace sheetgen

#endif  // SHEETGEN_RANDOM_H_
