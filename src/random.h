// The run's one source of randomness: the minimal standard multiplicative
// congruential generator (multiplier 16807, modulus 2^31 - 1).
#ifndef SHEETGEN_RANDOM_H_
#define SHEETGEN_RANDOM_H_

#include <cstdint>

namespace sheetgen {

// Sets the state to `seed` as it is: no hashing, no clamping.
void seed_random(int32_t seed);

// Advances the state by one step and returns state / (2^31 - 1).
double uniform_random();

// The current state, for code that advances the sequence by itself.
int32_t random_state();
void set_random_state(int32_t state);

}  // namespace sheetgen

#endif  // SHEETGEN_RANDOM_H_
