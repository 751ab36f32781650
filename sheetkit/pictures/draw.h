// sheetkit draw: pictures of a run as SVG files, for people to look at.
#ifndef SHEETKIT_DRAW_H_
#define SHEETKIT_DRAW_H_

#include <cstdint>
#include <filesystem>
#include <vector>

#include "files/instance.h"

namespace sheetkit {

/// Writes into `dir` (created when missing):
///  - instance_N.svg for every chosen instance (numbers 1-based, duplicates
///    drawn once): the object to scale with its defects numbered in file order;
///  - defects.svg: the defects of all instances overlaid on one object;
///  - items.svg: a histogram of item areas relative to the object's area and
///    the item types' lengths against their widths;
/// `bare` pictures have no title and no caption, for a paper's figure.
/// Makes two passes over the instances; memory stays bounded whatever the
/// run's size. Returns the files written. Throws sheetgen::error when a chosen
/// instance is not in the run (before anything is written) or when a file
/// or the folder cannot be written.
std::vector<std::filesystem::path> draw(const run_info& run, const instance_pass& pass,
                                        const std::vector<int64_t>& chosen_instances,
                                        const std::filesystem::path& dir, bool bare = false);

}  // namespace sheetkit

#endif  // SHEETKIT_DRAW_H_
