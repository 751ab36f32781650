// Where a command's output file stands against what the command reads:
// a file written over one of its own inputs, or into the folder it reads,
// would destroy what it is made from.
#ifndef SHEETKIT_OUTPUT_PATH_H_
#define SHEETKIT_OUTPUT_PATH_H_

#include <filesystem>
#include <string>
#include <vector>

namespace sheetkit {

/// Whether `output` is `input` (by name, through links, or as another
/// name of the same file) or lies inside it, when `input` is a folder.
bool same_or_inside(const std::filesystem::path& output, const std::filesystem::path& input);

/// The first of `inputs` (empty ones skipped) that `output` is or lies
/// inside, as given; empty when none.
std::string input_at(const std::filesystem::path& output, const std::vector<std::string>& inputs);

}  // namespace sheetkit

#endif  // SHEETKIT_OUTPUT_PATH_H_
