#include "suites/results_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "text/json_format.h"
#include "text/markup.h"
#include "text/suggest.h"
#include "text/text.h"

namespace sheetkit {

namespace {

// Listed in full only in JSON: a suite where every solution is missing
// would otherwise bury the table.
constexpr std::size_t listed = 20;

// The columns after class and solver, for people, each with its CSV name
// (as --columns takes it).
struct heading {
  const char* group;  // over several columns; "" for none
  const char* name;
  const char* key;
};
// The columns of `r`'s table: where some instances' optimum is known, how
// many and the gap to it beside the gap to the bound, each labelled; the
// profit last, where families give values.
std::vector<heading> headings_of(const suite_results& r) {
  const bool optimum = r.any_optimum();
  std::vector<heading> h{{"", "instances", "instances"},
                         {"", "found", "found"},
                         {"", "feasible", "feasible"},
                         {"", "infeasible", "infeasible"},
                         {"", "missing", "missing"}};
  if (optimum) h.push_back({"", "optima", "optima"});
  h.insert(h.end(), {{"utilisation (%)", "mean", "utilisation_mean"},
                     {"utilisation (%)", "min", "utilisation_min"},
                     {"utilisation (%)", "max", "utilisation_max"}});
  h.push_back({optimum ? "gap to bound (%)" : "gap (%)", "mean", "gap_mean"});
  if (optimum) h.push_back({"gap to optimum (%)", "mean", "optimum_gap_mean"});
  h.insert(h.end(), {{"items", "mean", "items_mean"}, {"time (s)", "mean", "time_mean"}});
  if (r.profits) h.push_back({"profit", "mean", "profit_mean"});
  return h;
}

// Every column --columns may name, whichever a suite has.
const std::vector<std::string>& known_columns() {
  static const std::vector<std::string> known = {
      "instances",       "found",      "feasible",         "infeasible",
      "missing",         "optima",     "utilisation_mean", "utilisation_min",
      "utilisation_max", "gap_mean",   "optimum_gap_mean", "items_mean",
      "time_mean",       "profit_mean"};
  return known;
}

std::optional<double> mean(double sum, int64_t n) {
  if (n == 0) return std::nullopt;
  return sum / static_cast<double>(n);
}

// The figures of a row, as fractions and seconds: nothing where no
// feasible solution (or no time) is there to average.
struct row_values {
  std::optional<double> utilisation, utilisation_min, utilisation_max, gap, items, time, profit;
  std::optional<double> optimum_gap;  // over the feasible solutions on known optima
};

row_values values_of(const solver_row& r) {
  row_values v;
  v.optimum_gap = mean(r.optimum_gap_sum, r.optimum_feasible);
  v.utilisation = mean(r.utilisation_sum, r.feasible);
  v.gap = mean(r.gap_sum, r.feasible);
  v.items = mean(static_cast<double>(r.items_sum), r.feasible);
  v.time = mean(r.time_sum, r.timed);
  v.profit = mean(r.profit_sum, r.feasible);
  if (r.feasible > 0) {
    v.utilisation_min = r.utilisation_min;
    v.utilisation_max = r.utilisation_max;
  }
  return v;
}

// A row's cells for people, in the order of headings_of (the known optima's
// with `optimum`, the profit with `profits`); a mean over fewer solutions
// than instances carries `mark`.
std::vector<std::string> cells_of(const solver_row& r, const std::string& mark, bool optimum,
                                  bool profits) {
  const row_values v = values_of(r);
  const std::string m = r.partial() ? mark : "";
  const auto cell = [](const std::optional<double>& x, double scale, int decimals,
                       const std::string& suffix) {
    return x ? fixed_text(*x * scale, decimals) + suffix : std::string();
  };
  std::vector<std::string> cells = {std::to_string(r.instances),
                                    std::to_string(r.found),
                                    std::to_string(r.feasible),
                                    std::to_string(r.infeasible),
                                    std::to_string(r.missing()),
                                    cell(v.utilisation, 100, 2, m),
                                    cell(v.utilisation_min, 100, 2, ""),
                                    cell(v.utilisation_max, 100, 2, ""),
                                    cell(v.gap, 100, 2, m),
                                    cell(v.items, 1, 2, m),
                                    v.time ? seconds_text(*v.time) + m : std::string()};
  if (optimum) {
    // A mean over fewer solutions than the known optima carries the mark.
    const std::string om = r.optimum_feasible < r.optima ? mark : "";
    cells.insert(cells.begin() + 5, r.optima > 0 ? std::to_string(r.optima) : std::string());
    cells.insert(cells.begin() + 10, cell(v.optimum_gap, 100, 2, om));
  }
  if (profits) cells.push_back(cell(v.profit, 1, 2, m));
  return cells;
}

bool any_partial(const suite_results& r) {
  return std::any_of(r.rows.begin(), r.rows.end(), [](const solver_row& x) { return x.partial(); });
}

constexpr const char* partial_note =
    "means over the feasible solutions; * marks a mean over fewer solutions than instances "
    "(the missing and infeasible ones left out)";

void write_list(std::ostream& out, const char* what, const std::vector<unsolved>& list) {
  if (list.empty()) return;
  out << '\n' << what << " (" << list.size() << "):\n";
  for (std::size_t i = 0; i < list.size() && i < listed; ++i) {
    out << "  " << list[i].instance << "  " << list[i].solver;
    if (!list[i].violation.empty()) out << "  " << list[i].violation;
    out << '\n';
  }
  if (list.size() > listed) out << "  ... and " << list.size() - listed << " more\n";
}

// A count's heading, shortened for the page: counts are narrow figures
// under headings that would set the table's width.
std::string latex_name(const heading& h) {
  const std::string_view name = h.name;
  if (name == "instances") return "inst.";
  if (name == "feasible") return "feas.";
  if (name == "infeasible") return "infeas.";
  return latex_escape(name);
}

}  // namespace

void write_results_text(std::ostream& out, const suite_results& r) {
  out << "suite " << r.suite << ", manifest sha256 " << r.manifest_sha256 << '\n';
  if (!r.exported.empty()) out << "exported: " << r.exported << '\n';
  out << "solvers: ";
  if (r.solvers.empty()) out << "none: no certificate in the export";
  for (std::size_t i = 0; i < r.solvers.size(); ++i) out << (i > 0 ? ", " : "") << r.solvers[i];
  out << "\n\n";

  const std::vector<heading> headings = headings_of(r);
  const bool optimum = r.any_optimum();
  std::vector<std::vector<std::string>> rows;
  for (const solver_row& row : r.rows) {
    std::vector<std::string> line{row.cls, row.solver};
    for (std::string& cell : cells_of(row, "*", optimum, r.profits))
      line.push_back(cell.empty() ? "-" : cell);
    rows.push_back(std::move(line));
  }
  std::vector<std::size_t> width(headings.size() + 2);
  width[0] = 5;  // "class"
  width[1] = 6;  // "solver"
  for (std::size_t k = 0; k < headings.size(); ++k)
    width[k + 2] = std::string(headings[k].name).size();
  for (const auto& line : rows)
    for (std::size_t k = 0; k < line.size(); ++k) width[k] = std::max(width[k], line[k].size());
  // Group headings over their columns, right-aligned like the numbers.
  std::string top = padded("", width[0] + 2 + width[1], true);
  for (std::size_t k = 0; k < headings.size();) {
    std::size_t end = k + 1;
    while (end < headings.size() && std::string(headings[end].group) == headings[k].group &&
           headings[k].group[0] != '\0') {
      ++end;
    }
    std::size_t spanned = 2 * (end - k - 1);
    for (std::size_t j = k; j < end; ++j) spanned += width[j + 2];
    const std::string group = headings[k].group;
    if (group.size() > spanned) width[end + 1] += group.size() - spanned;
    top += "  " + padded(group, std::max(spanned, group.size()), false);
    k = end;
  }
  while (!top.empty() && top.back() == ' ') top.pop_back();
  out << top << '\n';
  std::string line = padded("class", width[0], true) + "  " + padded("solver", width[1], true);
  for (std::size_t k = 0; k < headings.size(); ++k)
    line += "  " + padded(headings[k].name, width[k + 2], false);
  out << line << '\n';
  for (const auto& cells : rows) {
    line = padded(cells[0], width[0], true) + "  " + padded(cells[1], width[1], true);
    for (std::size_t k = 2; k < cells.size(); ++k) line += "  " + padded(cells[k], width[k], false);
    out << line << '\n';
  }
  if (any_partial(r)) out << '\n' << partial_note << '\n';
  write_list(out, "infeasible", r.infeasible);
  write_list(out, "missing", r.missing);
}

void write_results_csv(std::ostream& out, const suite_results& r) {
  // The known optima's columns come last, so that a script reading the
  // others by place reads them still.
  const bool optimum = r.any_optimum();
  out << "class,solver,instances,found,feasible,infeasible,missing,utilisation_mean,"
         "utilisation_min,utilisation_max,gap_mean,items_mean,time_mean"
      << (optimum ? ",optima,optimum_gap_mean" : "") << (r.profits ? ",profit_mean\n" : "\n");
  for (const solver_row& row : r.rows) {
    const row_values v = values_of(row);
    out << row.cls << ',' << row.solver << ',' << row.instances << ',' << row.found << ','
        << row.feasible << ',' << row.infeasible << ',' << row.missing();
    for (const std::optional<double>& x :
         {v.utilisation, v.utilisation_min, v.utilisation_max, v.gap, v.items, v.time}) {
      out << ',' << (x ? shortest_text(*x) : "");
    }
    if (optimum)
      out << ',' << row.optima << ',' << (v.optimum_gap ? shortest_text(*v.optimum_gap) : "");
    if (r.profits) out << ',' << (v.profit ? shortest_text(*v.profit) : "");
    out << '\n';
  }
}

std::vector<std::string> results_latex_columns() {
  return {"instances", "feasible", "utilisation_mean", "gap_mean", "optimum_gap_mean", "time_mean"};
}

std::vector<std::string> results_columns_named(const std::string& given) {
  return columns_named(given, {known_columns(),
                               known_columns(),
                               {"class", "solver"},
                               "(the CSV's header names them; all too)",
                               "the class and solver"});
}

void write_results_latex(std::ostream& out, const suite_results& r,
                         const std::vector<std::string>& columns) {
  const std::vector<std::string> asked = columns.empty() ? results_latex_columns() : columns;
  const std::vector<heading> headings = headings_of(r);
  const bool optimum = r.any_optimum();
  // The columns asked for that this suite has (optima and profits only
  // where it has them), in the order asked.
  std::vector<std::size_t> shown;
  for (const std::string& name : asked)
    for (std::size_t k = 0; k < headings.size(); ++k)
      if (headings[k].key == name) shown.push_back(k);
  std::string left_out;
  for (const heading& h : headings)
    if (std::find(asked.begin(), asked.end(), h.key) == asked.end())
      left_out += std::string(left_out.empty() ? "" : ", ") + h.key;
  out << "% Results on the suite " << r.suite << ", manifest sha256 " << r.manifest_sha256
      << ".\n% Every solution checked by sheetkit suite results; " << partial_note
      << ".\n% Needs \\usepackage{booktabs}. Set in \\footnotesize, with narrow gaps and headings "
         "on\n% two lines, "
      << (columns.empty() ? "to fit a portrait article's text width"
                          : "in the columns --columns names (all of them fit a landscape page)")
      << ".\n";
  out << "% inst.: instances, feas.: feasible solutions, infeas.: infeasible ones.\n";
  if (!left_out.empty()) out << "% Left out (--columns all shows them): " << left_out << ".\n";
  out << "{\\footnotesize\\setlength{\\tabcolsep}{3pt}%\n"
      << "\\begin{tabular}{@{}ll" << std::string(shown.size(), 'r') << "@{}}\n\\toprule\n";
  // Group headings: one cell over a run of the group's columns, ruled below
  // where it spans more than one; over one column it goes on two lines.
  std::string heads, rules;
  for (std::size_t i = 0; i < shown.size();) {
    const std::string group = headings[shown[i]].group;
    std::size_t end = i + 1;
    while (!group.empty() && end < shown.size() && headings[shown[end]].group == group) ++end;
    if (group.empty()) {
      heads += " &";
    } else if (end - i == 1) {
      heads += " & " + latex_two_lines(group, 'r');
    } else {
      heads += " & \\multicolumn{" + std::to_string(end - i) + "}{c}{" + latex_escape(group) + "}";
      rules += "\\cmidrule(lr){" + std::to_string(i + 3) + "-" + std::to_string(end + 2) + "}";
    }
    i = end;
  }
  if (heads.find_first_not_of(" &") != std::string::npos)
    out << " &" << heads << " \\\\\n" << (rules.empty() ? "" : rules + "\n");
  out << "class & solver";
  for (const std::size_t k : shown) out << " & " << latex_name(headings[k]);
  out << " \\\\\n\\midrule\n";
  for (const solver_row& row : r.rows) {
    const std::vector<std::string> cells = cells_of(row, "$^*$", optimum, r.profits);
    out << latex_escape(row.cls) << " & " << latex_escape(row.solver);
    for (const std::size_t k : shown) out << " & " << (cells[k].empty() ? "--" : cells[k]);
    out << " \\\\\n";
  }
  out << "\\bottomrule\n\\end{tabular}}\n";
}

void write_results_json(std::ostream& out, const suite_results& r) {
  using json = nlohmann::ordered_json;
  const auto number = [](const std::optional<double>& x) { return x ? json(*x) : json(nullptr); };
  json rows = json::array();
  for (const solver_row& row : r.rows) {
    const row_values v = values_of(row);
    rows.push_back({{"class", row.cls},
                    {"solver", row.solver},
                    {"instances", row.instances},
                    {"found", row.found},
                    {"feasible", row.feasible},
                    {"infeasible", row.infeasible},
                    {"missing", row.missing()},
                    {"utilisation_mean", number(v.utilisation)},
                    {"utilisation_min", number(v.utilisation_min)},
                    {"utilisation_max", number(v.utilisation_max)},
                    {"gap_mean", number(v.gap)},
                    {"items_mean", number(v.items)},
                    {"time_mean", number(v.time)}});
    if (r.any_optimum()) {
      rows.back()["optima"] = row.optima;
      rows.back()["optimum_gap_mean"] = number(v.optimum_gap);
    }
    if (r.profits) rows.back()["profit_mean"] = number(v.profit);
  }
  const auto list = [](const std::vector<unsolved>& l, bool with_violation) {
    json a = json::array();
    for (const unsolved& u : l) {
      json item = {{"instance", u.instance}, {"solver", u.solver}};
      if (with_violation) item["violation"] = u.violation;
      a.push_back(std::move(item));
    }
    return a;
  };
  const json doc = {{"format_version", json_format_version},
                    {"suite", r.suite},
                    {"manifest_sha256", r.manifest_sha256},
                    {"exported", r.exported},
                    {"solvers", r.solvers},
                    {"means", "over the feasible solutions"},
                    {"rows", std::move(rows)},
                    {"infeasible", list(r.infeasible, true)},
                    {"missing", list(r.missing, false)}};
  out << json_text(doc, 1) << '\n';
}

std::string results_table_html(const suite_results& r) {
  const std::vector<heading> headings = headings_of(r);
  const bool optimum = r.any_optimum();
  const std::size_t counts = optimum ? 6 : 5;  // the columns without a group
  std::ostringstream out;
  out << "<table class=\"figures results\">\n<thead>\n<tr><th rowspan=\"2\" scope=\"col\" "
         "class=\"name\">class</th><th rowspan=\"2\" scope=\"col\" class=\"name\">solver</th>";
  for (std::size_t k = 0; k < counts; ++k)
    out << "<th rowspan=\"2\" scope=\"col\">" << headings[k].name << "</th>";
  out << "<th colspan=\"3\" scope=\"colgroup\" class=\"group\">utilisation (%)</th>"
      << (optimum ? "<th scope=\"col\" class=\"group\">gap to bound (%)</th><th scope=\"col\" "
                    "class=\"group\">gap to optimum (%)</th>"
                  : "<th scope=\"col\" class=\"group\">gap (%)</th>")
      << "<th scope=\"col\" class=\"group\">items</th><th scope=\"col\" class=\"group\">time "
         "(s)</th>"
      << (r.profits ? "<th scope=\"col\" class=\"group\">profit</th>" : "") << "</tr>\n<tr>";
  for (std::size_t k = counts; k < headings.size(); ++k)
    out << "<th scope=\"col\">" << headings[k].name << "</th>";
  out << "</tr>\n</thead>\n<tbody>\n";
  for (const solver_row& row : r.rows) {
    const bool bad = row.infeasible > 0 || row.missing() > 0;
    out << "<tr" << (bad ? " class=\"short\"" : "") << "><th scope=\"row\" class=\"name\">"
        << xml_escape(row.cls) << "</th><td class=\"name\">" << xml_escape(row.solver) << "</td>";
    for (const std::string& cell : cells_of(row, "*", optimum, r.profits))
      out << "<td class=\"num\">" << (cell.empty() ? "\xE2\x80\x93" : cell) << "</td>";
    out << "</tr>\n";
  }
  out << "</tbody>\n</table>\n";
  return out.str();
}

}  // namespace sheetkit
