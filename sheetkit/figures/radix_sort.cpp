#include "figures/radix_sort.h"

#include <array>
#include <cstddef>

namespace sheetkit {

void sort_by_high_half(std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch) {
  const std::size_t n = keys.size();
  if (n == 0) return;
  std::array<std::array<uint32_t, 256>, 4> counts{};
  for (const uint64_t k : keys) {
    ++counts[0][(k >> 32) & 0xff];
    ++counts[1][(k >> 40) & 0xff];
    ++counts[2][(k >> 48) & 0xff];
    ++counts[3][k >> 56];
  }
  scratch.resize(n);
  for (int digit = 0; digit < 4; ++digit) {
    auto& count = counts[digit];
    const int shift = 32 + 8 * digit;
    if (count[(keys[0] >> shift) & 0xff] == n) continue;
    uint32_t sum = 0;
    for (auto& c : count) {
      const uint32_t here = c;
      c = sum;
      sum += here;
    }
    for (const uint64_t k : keys) scratch[count[(k >> shift) & 0xff]++] = k;
    keys.swap(scratch);
  }
}

}  // namespace sheetkit
