// Sorting 64-bit keys by their high 32 bits, fast where a comparison sort
// would take most of a sweep's time: the coverage's edges, the overlap
// sweep's events and y coordinates.
#ifndef SHEETKIT_RADIX_SORT_H_
#define SHEETKIT_RADIX_SORT_H_

#include <cstdint>
#include <vector>

namespace sheetkit {

/// Sorts `keys` by their high 32 bits (as unsigned), keeping the order of
/// keys whose high halves are equal: a byte at a time, skipping the bytes
/// that all keys share (most do on real objects). `scratch` is working
/// memory, kept by the caller between calls. Fewer than 2^32 keys.
void sort_by_high_half(std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch);

}  // namespace sheetkit

#endif  // SHEETKIT_RADIX_SORT_H_
