// The table of instances a paper gives: one row per class of runs (or for
// one run), with what the instances are made of. Written for people
// (aligned text, an HTML table), for LaTeX (a booktabs tabular) and for
// scripts (CSV, JSON), all from one list of columns.
#ifndef SHEETKIT_PAPER_TABLE_H_
#define SHEETKIT_PAPER_TABLE_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace sheetkit {

/// Smallest value, quartiles and largest value of a measure over all item
/// types. Each quantile is one of the values: the one at 0-based rank
/// floor(p (n - 1)) in sorted order, so the median is the lower middle value
/// (as sheetkit stats gives it).
struct item_quantiles {
  int64_t min = 0;
  int64_t q1 = 0;
  int64_t median = 0;
  int64_t q3 = 0;
  int64_t max = 0;
};

/// One row: the figures of a class over all its completed runs, or of one run.
struct table_row {
  std::string name;               ///< the class, or the run's instance file
  int64_t sets = 0;               ///< completed runs the figures are over
  int64_t instances = 0;          ///< over all of them; 0: every figure below is missing
  int64_t length = 0, width = 0;  ///< the object's
  std::string lower, upper;       ///< the area bounds as written; empty when not known
  int64_t items = 0;              ///< item types over all instances; 0: no quantiles
  double item_types = 0;          ///< item types per instance, mean
  item_quantiles item_length;     ///< min, median, max are given
  item_quantiles item_width;      ///< min, median, max are given
  item_quantiles item_area;       ///< all five; shown relative to the object's area
  double total_area_mean = 0;     ///< total item area / object area, mean over the instances
  double total_area_sd = 0;       ///< and its standard deviation (population: over n)
  double distinct_mean = 0;       ///< distinct (length, width) pairs per instance, mean
  double defects = 0;             ///< defects per instance, mean
  double defect_area_mean = 0;    ///< sum of the defects' areas / object area, mean
  double covered_mean = 0;        ///< area of their union / object area, mean
};

/// The rows, with what they stand for.
struct paper_table {
  /// Rows of classes of a suite (first column "class"), or of runs ("run").
  bool classes = true;
  std::vector<table_row> rows;
};

/// The names of the columns, as `--columns` takes them: the CSV's (after
/// the first, the name of the class or run), and "object", length x width
/// in one column, for people only.
std::vector<std::string> table_column_names();

/// The columns people see unless they choose: every one, the object's
/// sides in one ("object").
std::vector<std::string> all_table_columns();

/// The columns of a paper's table of instances: sets, instances, item
/// types, object, bounds, defects, the items' total area and the defects'
/// union; as LaTeX, they fit an article's text width.
std::vector<std::string> paper_table_columns();

/// An aligned table for a terminal: a line of group headings, a line of
/// column headings, a line per row, then what the columns shown mean.
/// `columns` are names from table_column_names(), in the order shown; the
/// name of the class or run always comes first. Throws
/// std::invalid_argument for any other name.
void write_table_text(std::ostream& out, const paper_table& table,
                      const std::vector<std::string>& columns = all_table_columns());

/// CSV for scripts: a header line of column names, then a line per row,
/// every column. Relative values are fractions (0.15, not 15), written as
/// the shortest decimal that reads back as the same double; a missing
/// value is empty. Fields are quoted as RFC 4180 has it; lines end in LF.
void write_table_csv(std::ostream& out, const paper_table& table);

/// A LaTeX tabular with booktabs rules (\toprule, \cmidrule, \midrule,
/// \bottomrule) set in \footnotesize with narrow gaps: grouped headings,
/// those of several words on two lines, numbers right-aligned, relative
/// values in percent, names with LaTeX's special characters escaped.
/// `columns` as for write_table_text.
void write_table_latex(std::ostream& out, const paper_table& table,
                       const std::vector<std::string>& columns = paper_table_columns());

/// The table for scripts: {"format_version": json_format_version, then
/// the members of `about` (what the table is of), "quantiles": how they are
/// taken, "rows": [...]}, each row an object with the CSV's names and
/// values, in its order (null where the CSV leaves a field empty).
nlohmann::ordered_json table_json(const paper_table& table,
                                  const nlohmann::ordered_json& about = nullptr);

/// The table as an HTML <table> element (escaped, well-formed as XML too),
/// with the classes of the report page's style: "figures", and "num" on
/// the cells of numbers.
std::string table_html(const paper_table& table);

}  // namespace sheetkit

#endif  // SHEETKIT_PAPER_TABLE_H_
