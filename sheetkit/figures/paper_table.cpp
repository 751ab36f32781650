// One list of columns drives every format: for scripts each column has a
// name and a plain value; for people (text, LaTeX, HTML) the values are
// shown once, the same way in all three, with the object's two sides in one
// column and relative values in percent.
#include "figures/paper_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "text/json_format.h"
#include "text/markup.h"
#include "text/text.h"

namespace sheetkit {

namespace {

using json = nlohmann::ordered_json;

// How a column's values are shown to people.
enum class shown {
  name,     // text, left-aligned
  text,     // text, right-aligned (the bounds as written)
  integer,  // a count or a length
  mean,     // a mean of counts: whole numbers where every row has them, else 2 decimals
  percent,  // a fraction, shown in percent with the decimals its column needs
  object,   // length and width in one column
};

// A value as scripts get it.
struct value {
  enum { none, integer, real, text } type = none;
  int64_t i = 0;
  double r = 0;
  std::string s;
};

value integer(int64_t v) { return {value::integer, v, 0, {}}; }
value real(double v) { return {value::real, 0, v, {}}; }
value text(std::string v) { return v.empty() ? value{} : value{value::text, 0, 0, std::move(v)}; }

struct column {
  std::string_view group;    // a heading over a run of columns, or empty
  std::string_view heading;  // the column's own, for people
  std::string_view name;     // for scripts and --columns
  shown how;
  bool for_scripts = true;  // in the CSV and JSON; "object" is for people only
  bool in_all = true;       // among the columns people see by default
  std::function<value(const table_row&)> get;
};

// Figures over instances exist only where there are some; quantiles only
// where there are items.
value of_instances(const table_row& r, value v) { return r.instances > 0 ? v : value{}; }
value of_items(const table_row& r, int64_t v) { return r.items > 0 ? integer(v) : value{}; }
value relative_area(const table_row& r, int64_t area) {
  if (r.items == 0 || r.length <= 0 || r.width <= 0) return {};
  return real(static_cast<double>(area) / (static_cast<double>(r.length) * r.width));
}

// (%): of the object's area, as the notes under each table say.
constexpr std::string_view area_group = "item area (%)";
constexpr std::string_view total_group = "total item area (%)";
constexpr std::string_view defect_group = "defect area (%)";

// Named as json_format.h has it: the suite file's names, and what is per
// instance or a total said in the name.
const std::vector<column>& columns() {
  static const std::vector<column> all = {
      {"", "sets", "sets", shown::integer, true, true,
       [](const table_row& r) { return integer(r.sets); }},
      {"", "instances", "instances_total", shown::integer, true, true,
       [](const table_row& r) { return integer(r.instances); }},
      {"", "item types", "item_types_per_instance_mean", shown::mean, true, true,
       [](const table_row& r) { return of_instances(r, real(r.item_types)); }},
      {"", "object", "object", shown::object, false, true,
       [](const table_row&) { return value{}; }},
      {"", "length", "length", shown::integer, true, false,
       [](const table_row& r) { return integer(r.length); }},
      {"", "width", "width", shown::integer, true, false,
       [](const table_row& r) { return integer(r.width); }},
      {"bounds", "lower", "lower", shown::text, true, true,
       [](const table_row& r) { return text(r.lower); }},
      {"bounds", "upper", "upper", shown::text, true, true,
       [](const table_row& r) { return text(r.upper); }},
      {"item length", "min", "item_length_min", shown::integer, true, true,
       [](const table_row& r) { return of_items(r, r.item_length.min); }},
      {"item length", "median", "item_length_median", shown::integer, true, true,
       [](const table_row& r) { return of_items(r, r.item_length.median); }},
      {"item length", "max", "item_length_max", shown::integer, true, true,
       [](const table_row& r) { return of_items(r, r.item_length.max); }},
      {"item width", "min", "item_width_min", shown::integer, true, true,
       [](const table_row& r) { return of_items(r, r.item_width.min); }},
      {"item width", "median", "item_width_median", shown::integer, true, true,
       [](const table_row& r) { return of_items(r, r.item_width.median); }},
      {"item width", "max", "item_width_max", shown::integer, true, true,
       [](const table_row& r) { return of_items(r, r.item_width.max); }},
      {area_group, "min", "item_area_relative_min", shown::percent, true, true,
       [](const table_row& r) { return relative_area(r, r.item_area.min); }},
      {area_group, "q1", "item_area_relative_q1", shown::percent, true, true,
       [](const table_row& r) { return relative_area(r, r.item_area.q1); }},
      {area_group, "median", "item_area_relative_median", shown::percent, true, true,
       [](const table_row& r) { return relative_area(r, r.item_area.median); }},
      {area_group, "q3", "item_area_relative_q3", shown::percent, true, true,
       [](const table_row& r) { return relative_area(r, r.item_area.q3); }},
      {area_group, "max", "item_area_relative_max", shown::percent, true, true,
       [](const table_row& r) { return relative_area(r, r.item_area.max); }},
      {total_group, "mean", "total_item_area_relative_per_instance_mean", shown::percent, true,
       true, [](const table_row& r) { return of_instances(r, real(r.total_area_mean)); }},
      {total_group, "sd", "total_item_area_relative_per_instance_sd", shown::percent, true, true,
       [](const table_row& r) { return of_instances(r, real(r.total_area_sd)); }},
      {"", "distinct types", "distinct_item_types_per_instance_mean", shown::mean, true, true,
       [](const table_row& r) { return of_instances(r, real(r.distinct_mean)); }},
      {"", "defects", "defects_per_instance_mean", shown::mean, true, true,
       [](const table_row& r) { return of_instances(r, real(r.defects)); }},
      {defect_group, "total", "defect_area_relative_per_instance_mean", shown::percent, true, true,
       [](const table_row& r) { return of_instances(r, real(r.defect_area_mean)); }},
      {defect_group, "union", "defect_union_relative_per_instance_mean", shown::percent, true, true,
       [](const table_row& r) { return of_instances(r, real(r.covered_mean)); }},
  };
  return all;
}

const column& column_named(std::string_view name) {
  for (const column& c : columns())
    if (c.name == name) return c;
  throw std::invalid_argument("no column of the paper table is named " + std::string(name));
}

std::string_view name_key(const paper_table& t) { return t.classes ? "class" : "run"; }

// Decimals for a column of percentages: two significant digits for its
// smallest non-zero value, at least one decimal, at most five.
int percent_decimals(const std::vector<double>& percents) {
  double smallest = 0;
  for (const double p : percents)
    if (p != 0 && (smallest == 0 || std::fabs(p) < smallest)) smallest = std::fabs(p);
  if (smallest == 0) return 1;
  // The exponent as printf rounds it: 0.0996 shows as 0.10, not 0.0996.
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.1e", smallest);
  const int exponent = std::atoi(std::strchr(buffer.data(), 'e') + 1);
  return std::clamp(1 - exponent, 1, 5);
}

// What people see: per row, per column shown to people, the cell's text
// (empty: missing); the object's sides kept apart for each format to join.
struct people_cell {
  std::string text;
  int64_t length = 0, width = 0;  // shown::object
};

struct people_view {
  std::vector<const column*> shown_columns;
  std::vector<std::vector<people_cell>> rows;
};

// Runs of adjacent columns under one group heading: [first, last).
struct span {
  std::size_t first, last;
  std::string_view group;
};

std::vector<span> spans(const std::vector<const column*>& cs) {
  std::vector<span> out;
  for (std::size_t k = 0; k < cs.size();) {
    std::size_t end = k + 1;
    while (!cs[k]->group.empty() && end < cs.size() && cs[end]->group == cs[k]->group) ++end;
    out.push_back({k, end, cs[k]->group});
    k = end;
  }
  return out;
}

people_view for_people(const paper_table& t, const std::vector<std::string>& names) {
  people_view v;
  for (const std::string& name : names) v.shown_columns.push_back(&column_named(name));
  v.rows.assign(t.rows.size(), std::vector<people_cell>(v.shown_columns.size()));
  // Columns under one heading share their decimals, so that they line up;
  // decided over the whole group, shown or not, so that a figure has the
  // same digits whichever columns are asked for.
  for (const span& g : spans(v.shown_columns)) {
    std::vector<std::vector<value>> values(g.last - g.first);
    std::vector<double> percents;
    int decimals = 0;
    std::vector<const column*> group;
    if (g.group.empty()) {
      group.assign(v.shown_columns.begin() + static_cast<std::ptrdiff_t>(g.first),
                   v.shown_columns.begin() + static_cast<std::ptrdiff_t>(g.last));
    } else {
      for (const column& c : columns())
        if (c.group == g.group) group.push_back(&c);
    }
    for (const column* c : group) {
      for (const table_row& r : t.rows) {
        const value x = c->get(r);
        if (x.type == value::real && c->how == shown::percent) percents.push_back(100 * x.r);
        if (x.type == value::real && c->how == shown::mean && x.r != std::floor(x.r)) decimals = 2;
      }
    }
    for (std::size_t k = g.first; k < g.last; ++k)
      for (const table_row& r : t.rows) values[k - g.first].push_back(v.shown_columns[k]->get(r));
    if (!percents.empty()) decimals = percent_decimals(percents);
    for (std::size_t k = g.first; k < g.last; ++k) {
      const column& c = *v.shown_columns[k];
      for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const value& x = values[k - g.first][i];
        people_cell& cell = v.rows[i][k];
        if (c.how == shown::object) {
          cell.length = t.rows[i].length;
          cell.width = t.rows[i].width;
          cell.text = std::to_string(cell.length) + " x " + std::to_string(cell.width);
        } else if (x.type == value::integer) {
          cell.text = std::to_string(x.i);
        } else if (x.type == value::text) {
          cell.text = x.s;
        } else if (x.type == value::real) {
          cell.text = fixed_text(c.how == shown::percent ? 100 * x.r : x.r, decimals);
        }
      }
    }
  }
  return v;
}

// What the columns shown mean, for the notes under a table (each line
// prefixed).
std::string notes(std::string_view prefix, const std::vector<const column*>& shown_columns) {
  const auto any = [&](auto is) {
    return std::any_of(shown_columns.begin(), shown_columns.end(), is);
  };
  const auto headed = [&](std::string_view heading) {
    return any([&](const column* c) { return c->group.empty() && c->heading == heading; });
  };
  std::vector<std::string> lines;
  std::string means;
  for (const std::string_view heading : {"item types", "distinct types", "defects"})
    if (headed(heading)) means += (means.empty() ? "" : ", ") + std::string(heading);
  if (!means.empty()) lines.push_back(means + ": per instance, mean over the instances");
  const bool sd = any([](const column* c) { return c->heading == "sd"; });
  if (any([](const column* c) { return c->how == shown::percent; })) {
    std::string line = "(%): of the object's area";
    if (any([](const column* c) { return c->group == defect_group; }))
      line += "; total: the defects' areas summed, union: overlaps once";
    lines.push_back(line + (sd ? ";" : ""));
  }
  if (sd) lines.emplace_back("sd: standard deviation over the instances (of n, not n - 1)");
  if (any([](const column* c) {
        return c->name.starts_with("item_length_") || c->name.starts_with("item_width_") ||
               c->name.starts_with("item_area_");
      })) {
    lines.emplace_back(
        "quantiles (min, q1, median, q3, max) are values of the item types: the one at");
    lines.emplace_back(
        "0-based rank floor(p (n - 1)) in sorted order; the median is the lower middle value");
  }
  std::string text;
  for (const std::string& line : lines) text += std::string(prefix) + line + "\n";
  return text;
}

std::string centred(std::string_view s, std::size_t width) {
  const std::size_t n = s.size();
  if (n >= width) return std::string(s);
  const std::size_t before = (width - n) / 2;
  return std::string(before, ' ') + std::string(s) + std::string(width - n - before, ' ');
}

std::string script_text(const value& v) {
  switch (v.type) {
    case value::integer:
      return std::to_string(v.i);
    case value::real:
      return std::isfinite(v.r) ? shortest_text(v.r) : "";
    case value::text:
      return v.s;
    default:
      return "";
  }
}

json script_json(const value& v) {
  switch (v.type) {
    case value::integer:
      return v.i;
    case value::real:
      // A mean of counts that is whole reads as a count: 4, not 4.0.
      if (std::isfinite(v.r) && v.r == std::floor(v.r) && std::fabs(v.r) < 0x1p53)
        return static_cast<int64_t>(v.r);
      return std::isfinite(v.r) ? json(v.r) : json(nullptr);
    case value::text:
      return v.s;
    default:
      return nullptr;
  }
}

}  // namespace

std::vector<std::string> table_column_names() {
  std::vector<std::string> names;
  for (const column& c : columns()) names.emplace_back(c.name);
  return names;
}

std::vector<std::string> all_table_columns() {
  std::vector<std::string> names;
  for (const column& c : columns())
    if (c.in_all) names.emplace_back(c.name);
  return names;
}

std::vector<std::string> paper_table_columns() {
  return {"sets",
          "instances_total",
          "item_types_per_instance_mean",
          "object",
          "lower",
          "upper",
          "defects_per_instance_mean",
          "total_item_area_relative_per_instance_mean",
          "defect_union_relative_per_instance_mean"};
}

void write_table_text(std::ostream& out, const paper_table& t,
                      const std::vector<std::string>& names) {
  const people_view v = for_people(t, names);
  const std::size_t n = v.shown_columns.size();
  // Column 0 is the name; the others follow the list.
  std::vector<std::size_t> width(n + 1, 0);
  width[0] = name_key(t).size();
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    width[0] = std::max(width[0], code_points(t.rows[i].name));
    for (std::size_t k = 0; k < n; ++k)
      width[k + 1] = std::max(width[k + 1], code_points(v.rows[i][k].text));
  }
  for (std::size_t k = 0; k < n; ++k)
    width[k + 1] = std::max({width[k + 1], v.shown_columns[k]->heading.size(), std::size_t{1}});
  const std::vector<span> groups = spans(v.shown_columns);
  // A group heading wider than its columns widens the last of them.
  for (const span& g : groups) {
    if (g.group.empty()) continue;
    std::size_t spanned = 2 * (g.last - g.first - 1);
    for (std::size_t k = g.first; k < g.last; ++k) spanned += width[k + 1];
    // Spread over the group's columns, the last ones first.
    for (std::size_t extra = g.group.size() > spanned ? g.group.size() - spanned : 0, k = 0;
         extra > 0; --extra, ++k) {
      ++width[g.last - k % (g.last - g.first)];
    }
  }

  std::string line = padded("", width[0], true);
  for (const span& g : groups) {
    std::size_t spanned = 2 * (g.last - g.first - 1);
    for (std::size_t k = g.first; k < g.last; ++k) spanned += width[k + 1];
    line += "  " + centred(g.group, spanned);
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  out << line << '\n';
  line = padded(std::string(name_key(t)), width[0], true);
  for (std::size_t k = 0; k < n; ++k)
    line += "  " + padded(std::string(v.shown_columns[k]->heading), width[k + 1], false);
  out << line << '\n';
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    line = padded(t.rows[i].name, width[0], true);
    for (std::size_t k = 0; k < n; ++k) {
      const std::string& cell = v.rows[i][k].text;
      line += "  " + padded(cell.empty() ? "-" : cell, width[k + 1], false);
    }
    out << line << '\n';
  }
  out << '\n' << notes("", v.shown_columns);
}

void write_table_csv(std::ostream& out, const paper_table& t) {
  out << name_key(t);
  for (const column& c : columns())
    if (c.for_scripts) out << ',' << c.name;
  out << '\n';
  for (const table_row& r : t.rows) {
    out << csv_field(r.name);
    for (const column& c : columns())
      if (c.for_scripts) out << ',' << csv_field(script_text(c.get(r)));
    out << '\n';
  }
}

json table_json(const paper_table& t, const json& about) {
  json rows = json::array();
  for (const table_row& r : t.rows) {
    json row = json::object();
    row[std::string(name_key(t))] = r.name;
    for (const column& c : columns())
      if (c.for_scripts) row[std::string(c.name)] = script_json(c.get(r));
    rows.push_back(std::move(row));
  }
  json j = {{"format_version", json_format_version}};
  if (about.is_object())
    for (const auto& [key, value] : about.items()) j[key] = value;
  j["quantiles"] = "the value at 0-based rank floor(p (n - 1)) in sorted order";
  j["rows"] = std::move(rows);
  return j;
}

void write_table_latex(std::ostream& out, const paper_table& t,
                       const std::vector<std::string>& names) {
  const people_view v = for_people(t, names);
  const std::size_t n = v.shown_columns.size();
  const std::vector<span> groups = spans(v.shown_columns);
  out << "% The instances, " << (t.classes ? "one row per class" : "one row per run")
      << ". Needs \\usepackage{booktabs}. Set in \\footnotesize, with\n"
      << "% narrow gaps and headings on two lines, to fit an article's text width.\n"
      << notes("% ", v.shown_columns);
  out << "{\\footnotesize\\setlength{\\tabcolsep}{3pt}%\n"
      << "\\begin{tabular}{@{}l" << std::string(n, 'r') << "@{}}\n\\toprule\n";
  std::string heads;
  std::string rules;
  for (const span& g : groups) {
    if (g.group.empty()) {
      for (std::size_t k = g.first; k < g.last; ++k) heads += " &";
      continue;
    }
    // One cell spans the group's columns.
    const std::string first = std::to_string(g.first + 2), last = std::to_string(g.last + 1);
    heads += " & \\multicolumn{" + std::to_string(g.last - g.first) + "}{c}{" +
             latex_two_lines(g.group, 'c') + "}";
    rules += "\\cmidrule(lr){" + first + "-" + last + "}";
  }
  if (!rules.empty()) out << heads << " \\\\\n" << rules << "\n";
  out << name_key(t);
  for (const column* c : v.shown_columns) out << " & " << latex_two_lines(c->heading, 'r');
  out << " \\\\\n\\midrule\n";
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    out << latex_escape(t.rows[i].name);
    for (std::size_t k = 0; k < n; ++k) {
      const people_cell& cell = v.rows[i][k];
      out << " & ";
      if (v.shown_columns[k]->how == shown::object) {
        out << "$" << cell.length << " \\times " << cell.width << "$";
      } else {
        out << (cell.text.empty() ? "--" : latex_escape(cell.text));
      }
    }
    out << " \\\\\n";
  }
  out << "\\bottomrule\n\\end{tabular}}\n";
}

std::string table_html(const paper_table& t) {
  const people_view v = for_people(t, all_table_columns());
  const std::vector<span> groups = spans(v.shown_columns);
  std::ostringstream out;
  out << "<table class=\"figures\">\n<thead>\n<tr><th rowspan=\"2\" scope=\"col\" class=\"name\">"
      << name_key(t) << "</th>";
  for (const span& g : groups) {
    if (g.group.empty()) {
      for (std::size_t k = g.first; k < g.last; ++k)
        out << "<th rowspan=\"2\" scope=\"col\">" << xml_escape(v.shown_columns[k]->heading)
            << "</th>";
    } else {
      out << "<th colspan=\"" << g.last - g.first << "\" scope=\"colgroup\" class=\"group\">"
          << xml_escape(g.group) << "</th>";
    }
  }
  out << "</tr>\n<tr>";
  for (const span& g : groups) {
    if (g.group.empty()) continue;
    for (std::size_t k = g.first; k < g.last; ++k)
      out << "<th scope=\"col\"" << (k == g.first ? " class=\"first\"" : "") << ">"
          << xml_escape(v.shown_columns[k]->heading) << "</th>";
  }
  out << "</tr>\n</thead>\n<tbody>\n";
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    out << "<tr><th scope=\"row\" class=\"name\">" << xml_escape(t.rows[i].name) << "</th>";
    for (std::size_t k = 0; k < v.shown_columns.size(); ++k) {
      const people_cell& cell = v.rows[i][k];
      const column& c = *v.shown_columns[k];
      bool first = false;
      for (const span& g : groups) first = first || (!g.group.empty() && g.first == k);
      out << "<td class=\"num" << (first ? " first" : "") << "\">";
      if (c.how == shown::object) {
        out << cell.length << "&#160;\xC3\x97&#160;" << cell.width;
      } else {
        out << (cell.text.empty() ? "\xE2\x80\x93" : xml_escape(cell.text));
      }
      out << "</td>";
    }
    out << "</tr>\n";
  }
  out << "</tbody>\n</table>\n";
  return out.str();
}

}  // namespace sheetkit
