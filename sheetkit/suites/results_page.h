// The results page of a suite: one self-contained HTML file in the style
// of the suite's own page, which an export's folder holds beside the
// solvers' certificates (OUT/results.html): the suite's manifest SHA-256
// and the solvers, the table per class and solver, what is infeasible or
// missing, and per class and solver the first instance's solution drawn.
#ifndef SHEETKIT_RESULTS_PAGE_H_
#define SHEETKIT_RESULTS_PAGE_H_

#include <sheetgen/progress.h>

#include <string>

#include "suites/suite_results.h"

namespace sheetkit {

/// The page of `r`, the results gathered with `o`; reads the first
/// instance of each class from the suite and its solvers' certificates
/// from the export to draw them.
std::string results_page_html(const suite_results& r, const results_options& o,
                              const sheetgen::progress_callback& progress = {});

}  // namespace sheetkit

#endif  // SHEETKIT_RESULTS_PAGE_H_
