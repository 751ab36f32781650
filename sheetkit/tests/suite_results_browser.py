"""Opens a suite's results as their readers do: the results page in headless
Chromium (its rendered DOM: a row per class and solver, the checksum, the
pictures of the first solutions, the infeasible and missing ones listed)
and the LaTeX table compiled with booktabs where pdflatex is at hand, no
wider than a landscape article's text. The
suite is examples/results/suite.json with the stored
certificates beside it. Screenshots, wide and narrow, go to OUT; with
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

        latex = subprocess.run([sheetkit, "suite", "results", suite, export, "--format", "latex"],
                               stdout=subprocess.PIPE, text=True).stdout
        if reader_tools.latex_at_hand():
            compiled = reader_tools.compile_latex(
                scratch, "table", latex, "\\usepackage[landscape]{geometry}\n")
            problems += compiled
            if not compiled:
                shutil.copyfile(os.path.join(scratch, "table.pdf"), os.path.join(out, "table.pdf"))
                print("the LaTeX table compiles with pdflatex and fits a landscape page's text width")
        else:
            print("not compiled: no pdflatex or booktabs here")
    return reader_tools.verdict(problems)


if __name__ == "__main__":
    sys.exit(main())
