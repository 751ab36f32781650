// The page is written in one go as a string: a suite of many classes gives
// a few MB at most (each picture is bounded, draw's own), and the safe
// writer then puts it in place whole.
#include "suites/suite_report.h"

#include <sheetgen/types.h>
#include <sheetgen/version.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "figures/bounds.h"
#include "figures/table_figures.h"
#include "files/files.h"
#include "files/source.h"
#include "pictures/defect_overlay.h"
#include "pictures/instance_picture.h"
#include "pictures/item_charts.h"
#include "pictures/picture.h"
#include "pictures/svg.h"
#include "suites/suite_files.h"
#include "suites/suite_manifest.h"
#include "suites/suite_plan.h"
#include "text/markup.h"
#include "text/text.h"

namespace sheetkit {

namespace fs = std::filesystem;

namespace {

std::string html(std::string_view text) { return xml_escape(text); }

// Polyglot markup: the page parses the same as HTML and as XML, so an XML
// parser can check it is well-formed. Hence no '<' or '&' in style and
// script, and every element closed.
constexpr const char* style = R"(
:root { --ink: #1d1f23; --muted: #5b616b; --rule: #d5d9df; --tint: #f4f6f9; --accent: #1a56c4; }
* { box-sizing: border-box; }
body { margin: 0; color: var(--ink); background: #fff;
  font: 16px/1.55 system-ui, -apple-system, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif; }
main { max-width: 74rem; margin: 0 auto; padding: 2.5rem 1.5rem 3rem; }
h1 { font-size: 2.2rem; line-height: 1.15; margin: .25rem 0 .5rem; letter-spacing: -.015em;
  overflow-wrap: anywhere; }
h2 { font-size: 1.35rem; margin: 2.75rem 0 .75rem; padding-bottom: .35rem;
  border-bottom: 1px solid var(--rule); }
h3 { font-size: 1.1rem; margin: 2.25rem 0 .2rem; overflow-wrap: anywhere; }
p { margin: .5rem 0; }
code, pre { font-family: ui-monospace, SFMono-Regular, Menlo, Consolas, "Liberation Mono", monospace; }
.kicker { margin: 0; font-size: .8rem; letter-spacing: .09em; text-transform: uppercase;
  color: var(--muted); }
.lead { margin: 0; font-size: 1.1rem; color: var(--muted); }
.cite { margin-top: 1.75rem; padding: 1rem 1.25rem 1.1rem; background: var(--tint);
  border: 1px solid var(--rule); border-radius: 8px; }
.cite p { margin: 0 0 .6rem; }
.sha { display: flex; flex-wrap: wrap; align-items: center; gap: .75rem; }
.sha code { font-size: 1rem; font-weight: 600; padding: .4rem .65rem; background: #fff;
  border: 1px solid var(--rule); border-radius: 6px; overflow-wrap: anywhere;
  -webkit-user-select: all; user-select: all; }
button { font: inherit; font-size: .85rem; padding: .35rem .9rem; color: var(--accent);
  background: #fff; border: 1px solid var(--rule); border-radius: 6px; cursor: pointer; }
button:hover { border-color: var(--accent); }
ol.steps { padding-left: 1.4rem; }
ol.steps li { margin: .6rem 0 1rem; }
pre { margin: .4rem 0 0; padding: .65rem .9rem; font-size: .9rem; line-height: 1.5;
  background: var(--tint); border: 1px solid var(--rule); border-radius: 6px; overflow-x: auto; }
.table-wrap { overflow-x: auto; margin: .5rem 0; }
.table-wrap.wide { position: relative; left: 50%; width: min(100vw - 3rem, 96rem);
  transform: translateX(-50%); }
.table-wrap.wide table { margin: 0 auto; }
table { border-collapse: collapse; font-variant-numeric: tabular-nums lining-nums; }
th, td { padding: .3rem .5rem; white-space: nowrap; }
thead th { white-space: normal; }
thead th { font-weight: 600; vertical-align: bottom; }
td.num, thead th { text-align: right; }
th.name, td.name, thead th.name { text-align: left; }
table.figures { font-size: .75rem; border-top: 2px solid var(--ink);
  border-bottom: 2px solid var(--ink); }
table.figures th, table.figures td { padding: .3em .35em; }
table.figures thead tr + tr th, table.figures thead th[rowspan] {
  border-bottom: 1px solid var(--ink); }
table.figures th.group { text-align: center; border-bottom: 1px solid var(--rule); }
table.figures .first { padding-left: 1.1em; }
table.figures tbody tr:nth-child(even), table.seeds tbody tr:nth-child(even) {
  background: var(--tint); }
table.seeds { font-size: .9rem; border-top: 2px solid var(--ink); border-bottom: 2px solid var(--ink); }
table.seeds thead th { text-align: left; border-bottom: 1px solid var(--ink); }
table.seeds td { white-space: normal; }
.answers { margin: 0; color: var(--muted); }
.pictures { display: flex; flex-wrap: wrap; gap: 1.25rem; margin-top: .8rem;
  align-items: flex-start; }
figure { margin: 0; max-width: 100%; }
figure svg { display: block; max-width: 100%; height: auto; border: 1px solid var(--rule);
  border-radius: 4px; }
figcaption { margin-top: .35rem; font-size: .85rem; color: var(--muted); }
.note { font-size: .85rem; color: var(--muted); }
footer { margin-top: 3rem; padding-top: .75rem; border-top: 1px solid var(--rule);
  font-size: .85rem; color: var(--muted); }
@media (max-width: 50rem) {
  main { padding: 1.25rem 1rem 2rem; }
  h1 { font-size: 1.65rem; }
  .sha code { font-size: .85rem; }
}
@page wide { size: landscape; }
@media print {
  body { font-size: 10pt; }
  .table-wrap.wide { page: wide; }
  main { max-width: none; padding: 0; }
  button { display: none; }
  .cite, pre { background: none; }
  .table-wrap, .table-wrap.wide { overflow: visible; left: 0; width: auto; transform: none; }
  th, td { padding: .15rem .3rem; }
  table.figures { font-size: 6.5pt; }
  table.figures th, table.figures td { padding: .15em .25em; }
  table.figures .first { padding-left: .6em; }
  section.class { break-inside: avoid; }
  h2, h3 { break-after: avoid; }
}
)";

// Shows the copy button; the checksum can be selected with one click anyway.
constexpr const char* script = R"(
(function () {
  var button = document.getElementById("copy");
  var sum = document.getElementById("manifest-sha256");
  if (!button || !sum) return;
  button.hidden = false;
  button.addEventListener("click", function () {
    var range = document.createRange();
    range.selectNodeContents(sum);
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    var copied = function () { button.textContent = "Copied"; };
    var fallback = function () { if (document.execCommand("copy")) copied(); };
    if (navigator.clipboard) navigator.clipboard.writeText(sum.textContent).then(copied, fallback);
    else fallback();
  });
})();
)";

// "1-5, 7, 9-10" (with en dashes): ascending seeds in runs.
std::string seed_ranges(std::vector<int32_t> seeds) {
  std::sort(seeds.begin(), seeds.end());
  std::string text;
  for (std::size_t i = 0; i < seeds.size();) {
    std::size_t j = i;
    while (j + 1 < seeds.size() && int64_t{seeds[j + 1]} == int64_t{seeds[j]} + 1) ++j;
    if (!text.empty()) text += ", ";
    text += std::to_string(seeds[i]);
    // A dash between negative numbers would read as a minus sign.
    const char* dash = seeds[i] < 0 ? " to " : "\xE2\x80\x93";
    if (j > i) text += (j == i + 1 ? ", " : dash) + std::to_string(seeds[j]);
    i = j + 1;
  }
  return text;
}

// The suite's folder as the commands name it: the suite's name where that
// makes a plain folder name, else DIR. Not the folder's own name: the page
// is part of the suite, the same bytes wherever it was made.
std::string folder_word(const std::string& suite) {
  const bool plain =
      !suite.empty() && suite[0] != '.' && suite[0] != '-' &&
      suite.find_first_not_of(
          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") == std::string::npos;
  return plain ? suite : "DIR";
}

// "3 × 2, 10 × 1"; of many defects the first few and how many more.
std::string defect_sizes_text(const suite_class& c) {
  constexpr std::size_t shown = 8;
  std::string text;
  for (std::size_t i = 0; i < c.defects.size() && i < shown; ++i) {
    if (i > 0) text += ", ";
    text += size_text(c.defects[i].first, c.defects[i].second);
  }
  if (c.defects.size() > shown)
    text += " and " + std::to_string(c.defects.size() - shown) + " more";
  return text;
}

// "97.3 %" of `whole`; "-" of nothing.
std::string share_text(double part, double whole) {
  if (whole <= 0) return "\xE2\x80\x93";
  char text[64];
  std::snprintf(text, sizeof text, "%.1f\xC2\xA0%%", 100 * part / whole);
  return text;
}

// A class's pictures and its row, from its completed sets.
struct class_view {
  table_row row;
  std::string first_set;     // empty: no completed set
  std::string instance_svg;  // empty: no defects, or no completed set
  std::string overlay_svg;   // the same
  std::string items_svg;     // empty: no completed set
  // The best bound on the placed area (one copy of each type, no
  // rotation), over all its instances.
  int64_t bound_sum = 0, usable_sum = 0, bound_instances = 0, knapsack_exact = 0;
};

class_view view_class(const fs::path& dir, const class_seeds& c, std::size_t index,
                      const sheetgen::progress_callback& progress, unsigned jobs) {
  class_view v;
  v.row = class_heading(c);
  // The figures' first pass also gathers what the overlay is laid out by
  // (a summary per set, added up in the sets' order) and the first instance.
  const std::size_t sets = c.with(status_completed).size();
  std::vector<run_summary> sums(sets);
  std::optional<instance> first;
  class_figures(v.row, dir, c, jobs, "report", progress, [&](std::size_t set, const instance& in) {
    sums[set].add(in);
    if (set == 0 && !first) first = in;
  });
  run_summary sum;
  for (const run_summary& s : sums) sum.add(s);
  if (!first) return v;
  const std::string id = "class" + std::to_string(index + 1);
  const std::vector<int32_t> completed = c.with(status_completed);
  v.first_set = set_name(*c.cls, completed.front());
  const run_info run = set_run(*c.cls, completed.front());
  run_info all = run;
  all.instance_file = c.cls->name + "/s*/instances.txt";
  if (!c.cls->family) {
    std::istringstream answers(c.cls->answers(completed.front()));
    all.answers = read_answers_quietly(answers);  // the area bounds, the same in every set
  }
  item_charts items(all, sum);
  // Without defects the instance would be an empty object: its item shapes
  // tell more.
  std::optional<defect_overlay> overlay;
  if (c.cls->has_defect_file()) {
    v.instance_svg = render_instance(run, *first, c.cls->instances,
                                     {.id = id + "-instance", .standalone = false});
    all.defect_file = c.cls->name + "/s*/defects.txt";
    overlay.emplace(all, sum);
  }
  bound_calculator bounds;
  class_pass(dir, c, "pictures", progress)([&](const instance& in) {
    items.add(in);
    if (overlay) overlay->add(in);
    bound_input b;
    b.object = run.object;
    b.items = in.items;
    b.defects = in.defects;
    const instance_bounds found = bounds(b);
    v.bound_sum += found.best;
    v.usable_sum += found.usable_area;
    v.knapsack_exact += found.knapsack.exact ? 1 : 0;
    ++v.bound_instances;
  });
  if (overlay) v.overlay_svg = overlay->render({.id = id + "-defects", .standalone = false});
  v.items_svg = items.render({.id = id + "-items", .standalone = false});
  return v;
}

void write_class(std::ostream& out, const class_seeds& c, const class_view& v) {
  const suite_class& k = *c.cls;
  out << "<section class=\"class\" id=\"class-" << html(k.name) << "\">\n<h3>" << html(k.name)
      << "</h3>\n<p class=\"answers\">object " << html(size_text(k.length, k.width)) << " \xC2\xB7 "
      << count_of(k.instances, "instance") << " of " << count_of(k.item_types, "item type");
  if (k.family) {
    // The laws as the manifest names them.
    const std::string columns = k.manifest_columns();
    const std::string law = columns.substr(columns.rfind('\t') + 1);
    out << " \xC2\xB7 family " << html(k.law()) << " \xC2\xB7 "
        << (law == "-" ? "no defects" : "defects " + html(law));
  } else {
    out << " \xC2\xB7 area bounds " << html(k.lower) << " to " << html(k.upper) << " \xC2\xB7 "
        << (k.defects.empty() ? "no defects"
                              : count_of(static_cast<int64_t>(k.defects.size()), "defect") + " (" +
                                    html(defect_sizes_text(k)) + ")");
  }
  out << " \xC2\xB7 " << (c.seeds.size() == 1 ? "seed " : "seeds ") << seed_ranges([&] {
    std::vector<int32_t> all;
    for (const suite_seed& s : c.seeds) all.push_back(s.seed);
    return all;
  }()) << " ("
      << v.row.sets << " completed)</p>\n";
  if (v.bound_instances > 0) {
    const double n = static_cast<double>(v.bound_instances);
    char mean[64];
    std::snprintf(mean, sizeof mean, "%.1f", static_cast<double>(v.bound_sum) / n);
    out << "<p class=\"answers bounds\">best bound on the placed area, one copy of each type "
           "unturned: mean "
        << mean << " per instance, "
        << share_text(static_cast<double>(v.bound_sum), static_cast<double>(v.usable_sum))
        << " of the usable area \xC2\xB7 knapsack bound exact in " << v.knapsack_exact << " of "
        << count_of(v.bound_instances, "instance") << "</p>\n";
  }
  if (v.first_set.empty()) {
    out << "<p class=\"note\">No run of this class completed: there is nothing to draw.</p>\n";
  } else {
    out << "<div class=\"pictures\">\n";
    if (!v.instance_svg.empty()) {
      out << "<figure>\n"
          << v.instance_svg << "<figcaption>The first instance of " << html(v.first_set)
          << ", to scale.</figcaption>\n</figure>\n<figure>\n"
          << v.overlay_svg << "<figcaption>The defects of all " << v.row.instances
          << " instances of the class, overlaid.</figcaption>\n</figure>\n";
    }
    out << "<figure>\n"
        << v.items_svg << "<figcaption>The item types of all " << v.row.instances
        << " instances of the class.</figcaption>\n</figure>\n</div>\n";
  }
  out << "</section>\n";
}

void write_seeds(std::ostream& out, const suite_contents& suite) {
  out << "<section id=\"seeds\">\n<h2>Skipped and aborted seeds</h2>\n";
  std::ostringstream rows;
  for (const class_seeds& c : suite.classes) {
    const std::vector<int32_t> skipped = c.with(status_skipped);
    const std::vector<int32_t> aborted = c.with(status_repair_abort);
    if (skipped.empty() && aborted.empty()) continue;
    const auto cell = [](const std::vector<int32_t>& seeds) {
      return seeds.empty() ? std::string("\xE2\x80\x93")
                           : seed_ranges(seeds) + " (" +
                                 count_of(static_cast<int64_t>(seeds.size()), "seed") + ")";
    };
    rows << "<tr><th scope=\"row\" class=\"name\">" << html(c.cls->name) << "</th><td>"
         << cell(skipped) << "</td><td>" << cell(aborted) << "</td></tr>\n";
  }
  if (rows.str().empty()) {
    out << "<p>None: the run of every seed completed.</p>\n</section>\n";
    return;
  }
  out << "<p>A run that ends in the repair abort (an item that cannot be given integer sides "
         "within the bounds) is <em>skipped</em> in a class that asks for complete runs: the "
         "class takes the next seed, and the seed has no folder. Otherwise it is <em>kept</em>: "
         "its folder holds the files as sheetgen leaves them (the instances before the failing "
         "one, no defect file), and it is not counted in the table.</p>\n"
      << "<div class=\"table-wrap\">\n<table class=\"seeds\">\n<thead><tr><th scope=\"col\" "
         "class=\"name\">class</th><th scope=\"col\">skipped seeds</th><th scope=\"col\">kept, "
         "aborted</th></tr></thead>\n<tbody>\n"
      << rows.str() << "</tbody>\n</table>\n</div>\n</section>\n";
}

}  // namespace

const char* suite_page_style() { return style; }
const char* suite_page_script() { return script; }

std::string suite_report_html(const suite_contents& suite,
                              const sheetgen::progress_callback& progress, unsigned jobs) {
  std::vector<class_view> views;
  paper_table table;
  for (std::size_t i = 0; i < suite.classes.size(); ++i) {
    views.push_back(view_class(suite.dir, suite.classes[i], i, progress, jobs));
    table.rows.push_back(views.back().row);
  }
  int64_t sets = 0, completed = 0, aborted = 0, skipped = 0, instances = 0, items = 0;
  for (const class_seeds& c : suite.classes) {
    for (const suite_seed& s : c.seeds) {
      sets += s.status != status_skipped;
      completed += s.status == status_completed;
      aborted += s.status == status_repair_abort;
      skipped += s.status == status_skipped;
    }
  }
  for (const table_row& r : table.rows) {
    instances += r.instances;
    items += r.items;
  }
  const std::string name = html(suite.definition.name);
  const std::string folder = html(folder_word(suite.definition.name));

  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
      << "<title>" << name << " \xE2\x80\x94 a benchmark suite made by sheetgen</title>\n"
      << "<style>" << style << "</style>\n</head>\n<body>\n<main>\n";

  out << "<header>\n<p class=\"kicker\">Benchmark suite \xC2\xB7 sheetgen " << html(suite.version)
      << "</p>\n<h1>" << name << "</h1>\n<p class=\"lead\">" << suite.classes.size()
      << (suite.classes.size() == 1 ? " class" : " classes") << ", " << count_of(sets, "set")
      << " (" << completed << " completed"
      << (aborted > 0 ? ", " + std::to_string(aborted) + " kept as the run aborts" : "") << ")"
      << (skipped > 0 ? ", " + count_of(skipped, "seed") + " skipped" : "") << "; "
      << count_of(instances, "instance") << " with " << count_of(items, "item type")
      << " in the completed sets.</p>\n";
  out << "<div class=\"cite\" id=\"cite\">\n<p>To cite the suite, give the SHA-256 of its "
         "<code>manifest.tsv</code>, which lists every file with its own SHA-256:</p>\n"
      << "<div class=\"sha\"><code id=\"manifest-sha256\">" << html(suite.manifest_sha256)
      << "</code><button type=\"button\" id=\"copy\" hidden=\"hidden\">Copy</button></div>\n"
      << "</div>\n</header>\n";

  // Every command runs from the folder that holds the suite's: a suite is
  // never made inside another.
  out << "<section id=\"reproduce\">\n<h2>Reproduce and verify</h2>\n<p>The commands call "
         "the suite's folder <code>"
      << folder << "</code> and run from the folder that holds it.</p>\n<ol class=\"steps\">\n"
      << "<li>Make the suite again from its definition, <code>suite.json</code> in its folder, "
         "with sheetkit, into a new folder beside it; the manifest's SHA-256, printed last, is "
         "the one above:"
      << "<pre><code>sheetkit suite make " << folder << "/suite.json -o " << folder
      << "-again</code></pre></li>\n"
      << "<li>Or verify this copy: every set is generated again from its answers and compared "
         "byte for byte, and the manifest with it:"
      << "<pre><code>sheetkit suite verify " << folder << "</code></pre></li>\n"
      << "<li>Without sheetkit, check every file against its checksum and the manifest against "
         "the number above:"
      << "<pre><code>cd " << folder << "\nsha256sum -c SHA256SUMS\nsha256sum manifest.tsv"
      << "</code></pre>Each set's files come again from <code>sheetgen &lt; answers.txt</code> "
         "in its folder.</li>\n</ol>\n</section>\n";

  out << "<section id=\"classes\">\n<h2>Classes</h2>\n<p>One row per class, over its completed "
         "sets.</p>\n<div class=\"table-wrap wide\">\n"
      << table_html(table) << "</div>\n<p class=\"note\">Item types, distinct types and defects: "
      << "per instance, mean over the instances. (%): of the object's area; defect area "
         "<em>total</em> sums the defects' areas, <em>union</em> counts overlaps once; sd: the "
         "standard deviation over the instances (of n). Quantiles (min, q1, median, q3, max) are "
         "values of the item types: the one at 0-based rank \xE2\x8C\x8Ap(n \xE2\x88\x92 "
         "1)\xE2\x8C\x8B in sorted order, so the median is the lower middle value. The same "
         "table for papers: <code>sheetkit stats --suite "
      << folder << " --format latex</code> (or <code>csv</code>, <code>json</code>).</p>\n";
  for (std::size_t i = 0; i < suite.classes.size(); ++i)
    write_class(out, suite.classes[i], views[i]);
  out << "</section>\n";
  write_seeds(out, suite);
  out << "<footer>Made by sheetkit " << sheetgen::version
      << " from the suite's files. The page needs nothing beyond itself.</footer>\n"
      << "</main>\n<script>" << script << "</script>\n</body>\n</html>\n";
  return out.str();
}

fs::path write_suite_report(const fs::path& dir, const fs::path& file, std::ostream& out,
                            const sheetgen::progress_callback& progress, unsigned jobs) {
  const suite_contents suite = read_suite_contents(dir);
  const std::string page = suite_report_html(suite, progress, jobs);
  if (file == "-") {
    out << page;
    return file;
  }
  const fs::path target = file.empty() ? dir / suite_files::page : file;
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  write_file(target, page);
  return target;
}

}  // namespace sheetkit
