#include "random.h"

namespace sheetgen {

namespace {

constexpr int32_t a = 16807;
constexpr int32_t m = 2147483647;
constexpr int32_t q = 127773;  // m / a
constexpr int32_t r = 2836;    // m % a

int32_t state = 0;

}  // namespace

void seed_random(int32_t seed) { state = seed; }

// Schrage's decomposition keeps every intermediate within 32 bits, for
// negative seeds too, so the sequence is the same on every platform.
double uniform_random() {
  const int32_t k = state / q;
  state = a * (state - k * q) - r * k;
  if (state < 0) state += m;
  return static_cast<double>(state) / static_cast<double>(m);
}

int32_t random_state() { return state; }

void set_random_state(int32_t s) { state = s; }

}  // namespace sheetgen
