// A large instance file cut into parts at the starts of its blocks, each
// part read as a file of its own: for passes on several cores at once.
#ifndef SHEETKIT_BLOCK_RANGES_H_
#define SHEETKIT_BLOCK_RANGES_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "files/instance.h"

namespace sheetkit {

/// Bytes [first, second) of a file.
using byte_range = std::pair<uint64_t, uint64_t>;

/// Up to `parts` ranges of the instance file `name`, of at least
/// `smallest_part` bytes each, that follow one another from its start to
/// its end and each start where a block starts; none when the file is too
/// small to gain by it or its size cannot be told. For a file that a pass
/// has found well formed.
std::vector<byte_range> split_at_blocks(const std::string& name, unsigned parts,
                                        uint64_t smallest_part);

/// The instances of the blocks in bytes [begin, end) of the instance file
/// `name`, read as a file of their own: without defects, numbered from 1.
instance_pass block_range(const std::string& name, uint64_t begin, uint64_t end);

}  // namespace sheetkit

#endif  // SHEETKIT_BLOCK_RANGES_H_
