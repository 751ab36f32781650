// `sheetkit suite report`: one self-contained HTML page that publishes a
// made suite: its name and the manifest's SHA-256 to cite, the commands that
// make it again and verify it, the paper table of its classes, each class's
// first instance and its defects overlaid, and the seeds skipped or kept
// as their runs abort. No external resources: the pictures are inline SVG,
// the style inline CSS; a small script adds a copy button, and the page
// reads fully without it.
#ifndef SHEETKIT_SUITE_REPORT_H_
#define SHEETKIT_SUITE_REPORT_H_

#include <sheetgen/progress.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "suites/suite_contents.h"

namespace sheetkit {

/// The page of `suite`, reading its sets' files (two or three passes over
/// each class's completed sets, up to `jobs` sets read at once). The same
/// suite gives the same bytes for every `jobs`.
/// Throws sheetgen::error when a set's files cannot be read or are not
/// what the readers accept.
std::string suite_report_html(const suite_contents& suite,
                              const sheetgen::progress_callback& progress = {}, unsigned jobs = 1);

/// Writes the page of the suite in `dir` to `file` (empty: DIR/index.html),
/// which appears only when complete; "-" writes it to `out`. Returns the
/// file written. `jobs`: as for suite_report_html.
std::filesystem::path write_suite_report(const std::filesystem::path& dir,
                                         const std::filesystem::path& file, std::ostream& out,
                                         const sheetgen::progress_callback& progress = {},
                                         unsigned jobs = 1);

/// The style sheet of the suite's page, which pages beside it share.
const char* suite_page_style();

/// The page's script: shows the button that copies the element with id
/// "manifest-sha256" (id "copy", hidden without the script).
const char* suite_page_script();

}  // namespace sheetkit

#endif  // SHEETKIT_SUITE_REPORT_H_
