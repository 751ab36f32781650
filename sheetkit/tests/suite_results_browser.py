"""Opens a suite's results as their readers do: the results page in headless
Chromium (its rendered DOM: a row per class and solver, the checksum, the
pictures of the first solutions, the infeasible and missing ones listed)
and the LaTeX table compiled with booktabs where pdflatex is at hand: by
default no wider than a portrait article's text, on a suite of wide
figures (a 6000 x 3210 object, long class names, a known optimum, runs
of thousands of seconds), and with --columns all a landscape one's. The
page's suite is examples/results/suite.json with the stored certificates
beside it. Screenshots, wide and narrow, go to OUT; with
SHEETGEN_UPDATE_DOCS=1 the wide one replaces docs/suite_results.png.

Exits 77 (skipped) when Chromium is not installed.

usage: suite_results_browser.py SHEETKIT SOURCE_DIR OUT
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reader_tools  # noqa: E402
from reader_tools import SKIPPED, browse, validate  # noqa: E402

ROWS = [("worked", "greedy"), ("worked", "rectangle"), ("plain", "greedy"), ("plain", "rectangle")]
# Per class, the solvers with a certificate for its first instance.
PICTURES = {"worked": 1, "plain": 2}


class Rendered(reader_tools.Rendered):
    """Besides: the table's rows and the infeasible and missing ones listed."""

    def __init__(self):
        super().__init__()
        self.rows = []
        self.row = []
        self.listed = {"infeasible": 0, "missing": 0}
        self.list = None

    def handle_starttag(self, tag, attrs):
        super().handle_starttag(tag, attrs)
        if tag == "h3" and dict(attrs).get("id") in self.listed:
            self.list = dict(attrs)["id"]
        if tag == "li" and self.list:
            self.listed[self.list] += 1
        if tag == "tr":
            self.row = []

    def handle_endtag(self, tag):
        super().handle_endtag(tag)
        if tag == "ul":
            self.list = None
        if tag == "tr" and self.inside("tbody") and len(self.row) >= 2:
            self.rows.append(tuple(self.row[:2]))

    def handle_data(self, data):
        super().handle_data(data)
        if self.inside("tbody") and self.where and self.where[-1][0] in ("th", "td"):
            self.row.append(data)


WIDE_SUITE = """{"suite": "wide-figures", "seeds": [1, 2],
 "classes": [
  {"name": "large-object-defects", "length": 6000, "width": 3210, "instances": 2,
   "item_types": 40, "lower": "0.001", "upper": "0.02", "defects": [[300, 200], [450, 120]]},
  {"name": "large-object-plain", "length": 6000, "width": 3210, "instances": 2,
   "item_types": 40, "lower": "0.001", "upper": "0.02"},
  {"name": "perfect-with-defects", "family": "perfect", "instances": 2,
   "parameters": {"items": 40, "length": 6000, "width": 3210, "defect_sizes": "300x200"}}]}
"""


def stand_in_certificate(folder):
    """A solver's certificate for the exported instance in `folder`: items
    placed bottom-left, largest first, on spots beside the corner, the
    defects and the items placed before; the rest left out."""
    import csv

    def rows(name):
        with open(os.path.join(folder, name), newline="") as f:
            return list(csv.DictReader(f))
    (bin_,) = rows("bins.csv")
    length, width = int(bin_["WIDTH"]), int(bin_["HEIGHT"])
    taken = [(int(d["X"]), int(d["Y"]), int(d["WIDTH"]), int(d["HEIGHT"]))
             for d in rows("defects.csv")]
    lines = ["TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID", f"BIN,0,1,0,0,0,{length},{width},"]
    lines += [f"DEFECT,{k},1,0,{a},{b},{c},{d}," for k, (a, b, c, d) in enumerate(taken)]

    def free(x, y, w, h):
        return x + w <= length and y + h <= width and all(
            x + w <= a or a + c <= x or y + h <= b or b + d <= y for a, b, c, d in taken)
    items = sorted(enumerate(rows("items.csv")),
                   key=lambda r: -int(r[1]["WIDTH"]) * int(r[1]["HEIGHT"]))
    for number, item in items:
        w, h = int(item["WIDTH"]), int(item["HEIGHT"])
        spots = sorted({(0, 0)} | {(a + c, b) for a, b, c, d in taken} |
                       {(a, b + d) for a, b, c, d in taken}, key=lambda p: (p[1], p[0]))
        spot = next((p for p in spots if free(*p, w, h)), None)
        if spot is not None:
            taken.append((*spot, w, h))
            lines.append(f"ITEM,{number},1,0,{spot[0]},{spot[1]},{w},{h},0")
    with open(os.path.join(folder, "rectangle.csv"), "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "rectangle.json"), "w") as f:
        f.write('{"Output": {"Time": 1234.5678}}\n')


def compiled_table(sheetkit, suite, export, scratch, out, columns, preamble=""):
    """pdflatex's complaints about the results' LaTeX table (with --columns
    `columns`, or the default) in an article with `preamble`."""
    args = [sheetkit, "suite", "results", suite, export, "--format", "latex"]
    name = "table_" + (columns or "default")
    if columns:
        args += ["--columns", columns]
    latex = subprocess.run(args, stdout=subprocess.PIPE, text=True).stdout
    if "\\begin{tabular}" not in latex:
        return [f"{name}: no table from {' '.join(args[1:])}"]
    compiled = reader_tools.compile_latex(
        scratch, name, "\\begin{table}\n\\centering\n" + latex + "\\end{table}\n", preamble)
    if not compiled:
        shutil.copyfile(os.path.join(scratch, name + ".pdf"), os.path.join(out, name + ".pdf"))
        print(f"the LaTeX table ({columns or 'default'} columns) compiles with pdflatex and fits "
              f"{'a landscape' if preamble else 'a portrait'} page's text width")
    return compiled


def wide_tables(sheetkit, scratch, out):
    """The default table of a suite of wide figures, on a portrait page."""
    wide = os.path.join(scratch, "wide")
    os.makedirs(wide)
    with open(os.path.join(wide, "suite.json"), "w") as f:
        f.write(WIDE_SUITE)
    suite, export = os.path.join(wide, "suite"), os.path.join(wide, "out")
    subprocess.run([sheetkit, "suite", "make", os.path.join(wide, "suite.json"), "-o", suite],
                   check=True, stdout=subprocess.PIPE)
    subprocess.run([sheetkit, "suite", "export", suite, "--to", "packingsolver", "-o", export],
                   check=True, stdout=subprocess.PIPE)
    for place, _, files in os.walk(export):
        if "items.csv" in files:
            stand_in_certificate(place)
    return compiled_table(sheetkit, suite, export, wide, out, None)


def main():
    started = reader_tools.start()
    if not started:
        return SKIPPED
    sheetkit, source, out, browser = started
    data = os.path.join(source, "examples", "results")
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        suite, export = os.path.join(scratch, "suite"), os.path.join(scratch, "out")
        subprocess.run([sheetkit, "suite", "make", os.path.join(data, "suite.json"), "-o", suite],
                       check=True, stdout=subprocess.PIPE)
        subprocess.run([sheetkit, "suite", "export", suite, "--to", "packingsolver", "-o", export],
                       check=True, stdout=subprocess.PIPE)
        shutil.copytree(os.path.join(data, "certificates"), export, dirs_exist_ok=True)
        done = subprocess.run([sheetkit, "suite", "results", suite, export, "--format", "html"],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if done.returncode != 1:
            problems.append(f"status {done.returncode}, not 1 for infeasible and missing ones")
        page = os.path.join(export, "results.html")
        problems += validate(page)
        seen = Rendered()
        seen.feed(browse(browser, page, "--dump-dom").stdout)
        with open(os.path.join(export, "suite.sha256")) as f:
            problems += seen.faults(f.read().strip())
        if seen.rows != ROWS:
            problems.append(f"the table's rows are {seen.rows}, not {ROWS}")
        if seen.pictures != PICTURES:
            problems.append(f"pictures per class {seen.pictures}, not {PICTURES}")
        if seen.listed != {"infeasible": 2, "missing": 5}:
            problems.append(f"listed {seen.listed}, not 2 infeasible and 5 missing")
        reader_tools.screenshots(browser, page, out,
                                 {"results.png": "1280,1800", "results_narrow.png": "420,2600"},
                                 source, "suite_results.png")

        if reader_tools.latex_at_hand():
            problems += wide_tables(sheetkit, scratch, out)
            problems += compiled_table(sheetkit, suite, export, scratch, out, "all",
                                       "\\usepackage[landscape]{geometry}\n")
        else:
            print("not compiled: no pdflatex or booktabs here")
    return reader_tools.verdict(problems)


if __name__ == "__main__":
    sys.exit(main())
