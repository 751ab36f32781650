// The picture of one instance's solution on the results page: the object
// to scale, the placed items filled, the defects on top, and whatever the
// check finds wrong outlined, with a caption of the figures.
#ifndef SHEETKIT_SOLUTION_PICTURE_H_
#define SHEETKIT_SOLUTION_PICTURE_H_

#include <filesystem>
#include <string>

#include "files/instance.h"
#include "suites/suite_results.h"

namespace sheetkit {

/// An inline SVG (root id `id`) of the solution in `certificate` of `in`,
/// an instance of `run`, checked under the rules of the export read by `o`.
/// Throws sheetgen::error "FILE:LINE: ..." when the certificate is no
/// solution.
std::string solution_svg(const run_info& run, const instance& in,
                         const std::filesystem::path& certificate, const results_options& o,
                         const std::string& id);

}  // namespace sheetkit

#endif  // SHEETKIT_SOLUTION_PICTURE_H_
