#include "random.h"

#include <array>

#include "exact_float.h"

namespace sheetgen {

namespace {

constexpr int32_t a = 16807;
constexpr int32_t m = 2147483647;
constexpr int32_t q = 127773;  // m / a
constexpr int32_t r = 2836;    // m % a

constexpr uint64_t mulmod(uint64_t x, uint64_t y) {
  // x, y < 2^31, so the product fits and 2^31 = 1 (mod m) folds it.
  const uint64_t p = x * y;
  uint64_t v = (p & m) + (p >> 31);
  return v >= uint64_t{m} ? v - m : v;
}

// a^k mod m for k = 1 .. max_peek.
constexpr std::array<uint32_t, max_peek + 1> powers = [] {
  std::array<uint32_t, max_peek + 1> t{};
  uint64_t v = 1;
  for (int k = 0; k <= max_peek; ++k) {
    t[k] = static_cast<uint32_t>(v);
    v = mulmod(v, a);
  }
  return t;
}();

}  // namespace

// Schrage's decomposition keeps every intermediate within 32 bits, for
// negative seeds too, so the sequence is the same on every platform.
double random_generator::uniform_random() {
  const int32_t k = state_ / q;
  state_ = a * (state_ - k * q) - r * k;
  if (state_ < 0) state_ += m;
  return static_cast<double>(state_) / static_cast<double>(m);
}

void random_generator::peek_states(int32_t* out, int n) const {
  // A draw maps the state to a * state mod m in [0, m), whatever its sign;
  // reduce a state that no draw has made yet (a seed) the same way.
  int64_t s = state_ % m;
  if (s < 0) s += m;
  for (int k = 0; k < n; ++k) {
    out[k] = static_cast<int32_t>(mulmod(powers[k + 1], static_cast<uint64_t>(s)));
  }
}

}  // namespace sheetgen
