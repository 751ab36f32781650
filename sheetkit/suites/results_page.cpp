#include "suites/results_page.h"

#include <sheetgen/version.h>

#include <optional>
#include <sstream>
#include <system_error>

#include "files/export_layout.h"
#include "files/files.h"
#include "files/instance_reader.h"
#include "files/source.h"
#include "solutions/export_contract.h"
#include "solutions/judge.h"
#include "solutions/solution_picture.h"
#include "solutions/solution_reader.h"
#include "suites/results_table.h"
#include "suites/suite_contents.h"
#include "suites/suite_export.h"
#include "suites/suite_manifest.h"
#include "suites/suite_plan.h"
#include "suites/suite_report.h"
#include "text/markup.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

std::string html(std::string_view text) { return xml_escape(text); }

// The page's own rules, after the suite page's style sheet.
constexpr const char* extra_style = R"(
table.results tr.short th, table.results tr.short td { color: #a3261b; }
ul.unsolved { padding-left: 1.2rem; font-size: .9rem; }
ul.unsolved li { margin: .25rem 0; overflow-wrap: anywhere; }
ul.unsolved code { font-size: .85rem; }
#pictures .pictures { grid-template-columns: repeat(auto-fill, minmax(17rem, 1fr)); }
)";

void write_unsolved(std::ostream& out, const char* title, const std::vector<unsolved>& list,
                    const char* id) {
  constexpr std::size_t shown = 50;
  out << "<h3 id=\"" << id << "\">" << title << " (" << list.size() << ")</h3>\n";
  if (list.empty()) {
    out << "<p class=\"note\">None.</p>\n";
    return;
  }
  out << "<ul class=\"unsolved\">\n";
  for (std::size_t i = 0; i < list.size() && i < shown; ++i) {
    out << "<li><code>" << html(list[i].instance) << "</code> \xC2\xB7 " << html(list[i].solver);
    if (!list[i].violation.empty()) out << ": <code>" << html(list[i].violation) << "</code>";
    out << "</li>\n";
  }
  if (list.size() > shown) {
    out << "<li>\xE2\x80\xA6 and " << list.size() - shown
        << " more (all of them: <code>--format json</code>)</li>\n";
  }
  out << "</ul>\n";
}

// The solution in `certificate` of `in`, drawn as `solution draw` draws it,
// judged under the rules its export gave the solver.
std::string solution_svg(const run_info& run, const instance& in, const fs::path& certificate,
                         const results_options& o, const std::string& id) {
  const solution_instance target{run.object, in.items, in.defects};
  const fs::path folder = certificate.parent_path();
  const std::string record = read_whole_file((folder.parent_path() / exported_file).string());
  solution_rules rules = export_rules(record, o.guillotine);
  rules.max_violations = 20;
  const export_contract contract =
      read_export_contract(folder, target, parse_export_record(record));
  const judgement j = judge_file({target, in.number, rules, &contract}, certificate,
                                 certificate.filename().string());
  if (!j.judged) throw sheetgen::error(j.why);
  std::ostringstream svg;
  render_solution(svg, run, in, j.read, j.report, {.id = id, .standalone = false});
  return svg.str();
}

}  // namespace

std::string results_page_html(const suite_results& r, const results_options& o,
                              const sheetgen::progress_callback& progress) {
  const suite_contents suite = read_suite_contents(o.dir);
  int64_t solutions = 0, feasible = 0;
  for (const solver_row& row : r.rows) {
    solutions += row.instances;
    feasible += row.feasible;
  }
  const std::string name = html(r.suite);
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
      << "<title>" << name << " \xE2\x80\x94 results</title>\n"
      << "<style>" << suite_page_style() << extra_style << "</style>\n</head>\n<body>\n<main>\n";
  out << "<header>\n<p class=\"kicker\">Results on a benchmark suite \xC2\xB7 sheetkit "
      << sheetgen::version << "</p>\n<h1>" << name << "</h1>\n<p class=\"lead\" id=\"solvers\">";
  if (r.solvers.empty()) {
    out << "No solver has written a certificate into the export yet.";
  } else {
    out << (r.solvers.size() == 1 ? "Solver " : "Solvers ");
    for (std::size_t i = 0; i < r.solvers.size(); ++i)
      out << (i > 0 ? ", " : "") << "<strong>" << html(r.solvers[i]) << "</strong>";
    out << ": " << feasible << " of " << solutions << " solutions found and feasible.";
  }
  out << "</p>\n<div class=\"cite\" id=\"cite\">\n<p>Every figure below comes from a "
         "certificate checked against the suite whose <code>manifest.tsv</code> has the "
         "SHA-256</p>\n<div class=\"sha\"><code id=\"manifest-sha256\">"
      << html(r.manifest_sha256)
      << "</code><button type=\"button\" id=\"copy\" hidden=\"hidden\">Copy</button></div>\n";
  if (!r.exported.empty())
    out << "<p class=\"note\">Exported with <code>" << html(r.exported) << "</code>.</p>\n";
  out << "</div>\n</header>\n";

  out << "<section id=\"results\">\n<h2>Results</h2>\n<p>One row per class and solver. "
         "Means, minima and maxima are over the feasible solutions; a row in red has "
         "infeasible or missing solutions, and * marks a mean over fewer solutions than "
         "instances.</p>\n<div class=\"table-wrap\">\n"
      << results_table_html(r)
      << "</div>\n<p class=\"note\">Utilisation: the placed items' area over the usable area "
         "(the object's less the union of its defects). Gap: to the best bound on the placed "
         "area (the least of the usable area, the copies that fit and the knapsack bound). "
         "Time: the solver's own, from "
         "its JSON output where it gives one.</p>\n";
  write_unsolved(out, "Infeasible solutions", r.infeasible, "infeasible");
  write_unsolved(out, "Missing solutions", r.missing, "missing");
  out << "</section>\n";

  out << "<section id=\"pictures\">\n<h2>First solutions</h2>\n<p>Per class and solver, the "
         "solution of the first instance of the class's first completed set, to scale.</p>\n";
  std::size_t index = 0;
  for (const class_seeds& c : suite.classes) {
    out << "<section class=\"class\" id=\"class-" << html(c.cls->name) << "\">\n<h3>"
        << html(c.cls->name) << "</h3>\n";
    const std::vector<int32_t> seeds = c.with(status_completed);
    if (seeds.empty() || r.solvers.empty()) {
      out << "<p class=\"note\">Nothing to draw.</p>\n</section>\n";
      continue;
    }
    // The first instance, read from the suite's files.
    const run_info in_suite = set_run(*c.cls, seeds.front());
    const run_info run = set_run(*c.cls, seeds.front(), o.dir);
    std::optional<instance> first;
    file_pass(run)([&](const instance& in) {
      if (!first) first = in;
    });
    out << "<div class=\"pictures\">\n";
    for (const std::string& solver : r.solvers) {
      const std::string where = set_name(*c.cls, seeds.front()) + "/" + instance_name(1) + "/" +
                                solver + certificate_extension;
      const fs::path certificate = o.out / where;
      std::error_code ec;
      out << "<figure>\n";
      if (first && fs::is_regular_file(certificate, ec)) {
        out << solution_svg(in_suite, *first, certificate, o, "picture" + std::to_string(++index))
            << "<figcaption>" << html(solver) << ": <code>" << html(where)
            << "</code></figcaption>\n";
      } else {
        out << "<figcaption>" << html(solver) << ": no solution of " << html(where)
            << "</figcaption>\n";
      }
      out << "</figure>\n";
    }
    out << "</div>\n</section>\n";
    if (progress) progress({"results", static_cast<int64_t>(index), 0, 0, "pictures"});
  }
  out << "</section>\n<footer>Made by sheetkit " << sheetgen::version
      << " from the suite's files and the solvers' certificates. The page needs nothing "
         "beyond itself.</footer>\n</main>\n<script>"
      << suite_page_script() << "</script>\n</body>\n</html>\n";
  return out.str();
}

}  // namespace sheetkit
