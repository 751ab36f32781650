#include "random.h"

#include <array>

#include "exact_float.h"

namespace sheetgen {

namespace {

constexpr int32_t a = 16807;
constexpr int32_t m = 2147483647;
constexpr int32_t q = 127773;  // m / a
constexpr int32_t r = 2836;    // m % a

// x y mod m for x, y < m. Since 2^31 = 1 (mod m), the product folds onto
// its low 31 bits: once to at most 2m, and once more to below m, since a
// sum of m or 2m would be a nonzero product that m divides, which a prime
// m rules out. No comparison, so that a loop of them vectorises.
constexpr uint32_t mulmod(uint32_t x, uint32_t y) {
  const uint64_t p = uint64_t{x} * y;
  const uint64_t v = (p & m) + (p >> 31);
  return static_cast<uint32_t>((v & m) + (v >> 31));
}

// a^k mod m for k = 1 .. max_peek.
constexpr std::array<uint32_t, max_peek + 1> powers = [] {
  std::array<uint32_t, max_peek + 1> t{};
  uint32_t v = 1;
  for (int k = 0; k <= max_peek; ++k) {
    t[k] = v;
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
  // (Written so that g++ sees both factors as unsigned 32-bit values and
  // vectorises the loop with one 32 x 32 bit multiplication a lane.)
  constexpr auto modulus = static_cast<uint32_t>(m);
  const uint32_t start = state_ < 0 ? static_cast<uint32_t>(state_ % m + m) % modulus
                                    : static_cast<uint32_t>(state_) % modulus;
  for (int k = 0; k < n; ++k) {
    out[k] = static_cast<int32_t>(mulmod(powers[k + 1], start));
  }
}

}  // namespace sheetgen
