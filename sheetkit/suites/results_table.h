// The table of a suite's results, one row per class and solver, in the
// forms a paper and a script take: text, CSV, LaTeX (booktabs), JSON, and
// the section of the results page.
#ifndef SHEETKIT_RESULTS_TABLE_H_
#define SHEETKIT_RESULTS_TABLE_H_

#include <ostream>
#include <string>

#include "suites/suite_results.h"

namespace sheetkit {

/// Aligned columns for people, with the suite's name, manifest SHA-256
/// and solvers above, and below the infeasible solutions (each with its
/// first violation) and the missing ones, the first 20 of each listed.
void write_results_text(std::ostream& out, const suite_results& r);

/// One header line, then one line per class and solver; fractions as
/// fractions, empty cells where there is nothing to average.
void write_results_csv(std::ostream& out, const suite_results& r);

/// A `tabular` with booktabs rules, percentages, names escaped, set in
/// \footnotesize with narrow gaps to fit a landscape article's text width;
/// comment lines name the suite, its SHA-256 and what was left out.
void write_results_latex(std::ostream& out, const suite_results& r);

/// One JSON document: the suite, its SHA-256, the solvers, the rows, and
/// every infeasible and missing solution.
void write_results_json(std::ostream& out, const suite_results& r);

/// The table as an HTML `table` element, for the results page.
std::string results_table_html(const suite_results& r);

}  // namespace sheetkit

#endif  // SHEETKIT_RESULTS_TABLE_H_
