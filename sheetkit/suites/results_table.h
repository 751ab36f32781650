// The table of a suite's results, one row per class and solver, in the
// forms a paper and a script take: text, CSV, LaTeX (booktabs), JSON, and
// the section of the results page.
#ifndef SHEETKIT_RESULTS_TABLE_H_
#define SHEETKIT_RESULTS_TABLE_H_

#include <ostream>
#include <string>
#include <vector>

#include "suites/suite_results.h"

namespace sheetkit {

/// Aligned columns for people, with the suite's name, manifest SHA-256
/// and solvers above, and below the infeasible solutions (each with its
/// first violation) and the missing ones, the first 20 of each listed.
void write_results_text(std::ostream& out, const suite_results& r);

/// One header line, then one line per class and solver; fractions as
/// fractions, empty cells where there is nothing to average.
void write_results_csv(std::ostream& out, const suite_results& r);

/// The columns of the LaTeX table unless the user names them: what fits a
/// portrait article's text width (instances, feasible, the mean
/// utilisation, the gap to the bound and, where optima are known, to them,
/// the time).
std::vector<std::string> results_latex_columns();

/// --columns as typed (names separated by commas: the CSV's, after class
/// and solver, or all) as the columns' names. Throws std::invalid_argument
/// with the message for people, naming the nearest column to a wrong name.
std::vector<std::string> results_columns_named(const std::string& given);

/// A `tabular` with booktabs rules, percentages, names escaped, set in
/// \footnotesize with narrow gaps and headings on two lines; comment lines
/// name the suite, its SHA-256 and what was left out. `columns` as
/// results_columns_named gives them, in their order (empty:
/// results_latex_columns()); those a suite lacks (optima, profit) are not
/// shown.
void write_results_latex(std::ostream& out, const suite_results& r,
                         const std::vector<std::string>& columns = {});

/// One JSON document: the suite, its SHA-256, the solvers, the rows, and
/// every infeasible and missing solution.
void write_results_json(std::ostream& out, const suite_results& r);

/// The table as an HTML `table` element, for the results page.
std::string results_table_html(const suite_results& r);

}  // namespace sheetkit

#endif  // SHEETKIT_RESULTS_TABLE_H_
