"""Opens a suite's results as their readers do: the results page in headless
Chromium (its rendered DOM: a row per class and solver, the checksum, the
pictures of the first solutions, the infeasible and missing ones listed)
and the LaTeX table compiled with booktabs where pdflatex is at hand. The
suite is examples/results/suite.json with the stored
certificates beside it. Screenshots, wide and narrow, go to OUT; with
SHEETGEN_UPDATE_DOCS=1 the wide one replaces docs/suite_results.png.

Exits 77 (skipped) when Chromium is not installed.

usage: suite_results_browser.py SHEETKIT SOURCE_DIR OUT
"""

import html.parser
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from suite_report_browser import SKIPPED, browse, chromium, validate  # noqa: E402

ROWS = [("worked", "greedy"), ("worked", "rectangle"), ("plain", "greedy"), ("plain", "rectangle")]
# Per class, the solvers with a certificate for its first instance.
PICTURES = {"worked": 1, "plain": 2}


class Rendered(html.parser.HTMLParser):
    """The rows, checksum, pictures and lists as Chromium built them."""

    def __init__(self):
        super().__init__()
        self.where = []
        self.rows = []
        self.row = []
        self.checksum = ""
        self.button_hidden = None
        self.section = None
        self.pictures = {}
        self.listed = {"infeasible": 0, "missing": 0}
        self.list = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.where.append((tag, a))
        if tag == "section" and a.get("class") == "class":
            self.section = a["id"][len("class-"):]
            self.pictures[self.section] = 0
        if tag == "svg" and self.section:
            self.pictures[self.section] += 1
        if tag == "button" and a.get("id") == "copy":
            self.button_hidden = "hidden" in a
        if tag == "h3" and a.get("id") in self.listed:
            self.list = a["id"]
        if tag == "li" and self.list:
            self.listed[self.list] += 1
        if tag == "tr":
            self.row = []

    def handle_endtag(self, tag):
        while self.where:
            t, _ = self.where.pop()
            if t == tag:
                break
        if tag == "section":
            self.section = None
        if tag == "ul":
            self.list = None
        if tag == "tr" and self.inside("tbody") and len(self.row) >= 2:
            self.rows.append(tuple(self.row[:2]))

    def inside(self, tag, **want):
        return any(t == tag and all(a.get(k) == v for k, v in want.items())
                   for t, a in self.where)

    def handle_data(self, data):
        if self.inside("code", id="manifest-sha256"):
            self.checksum += data
        if self.inside("tbody") and self.where and self.where[-1][0] in ("th", "td"):
            self.row.append(data)


def main():
    sheetkit, source, out = sys.argv[1:4]
    browser = chromium()
    if not browser:
        print("SKIPPED: Chromium is not installed (Debian package chromium); .ci/run installs it")
        return SKIPPED
    os.makedirs(out, exist_ok=True)
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
            sha256 = f.read().strip()
        if seen.checksum != sha256:
            problems.append(f"the checksum shown is {seen.checksum!r}, not {sha256}")
        if seen.button_hidden is not False:
            problems.append("the copy button is not shown")
        if seen.rows != ROWS:
            problems.append(f"the table's rows are {seen.rows}, not {ROWS}")
        if seen.pictures != PICTURES:
            problems.append(f"pictures per class {seen.pictures}, not {PICTURES}")
        if seen.listed != {"infeasible": 2, "missing": 5}:
            problems.append(f"listed {seen.listed}, not 2 infeasible and 5 missing")
        for name, size in (("results.png", "1280,1800"), ("results_narrow.png", "420,2600")):
            browse(browser, page, f"--screenshot={os.path.join(out, name)}", f"--window-size={size}")
        print(f"screenshots in {out}")
        if os.environ.get("SHEETGEN_UPDATE_DOCS") == "1":
            shutil.copyfile(os.path.join(out, "results.png"),
                            os.path.join(source, "docs", "suite_results.png"))
            print("docs/suite_results.png replaced")

        latex = subprocess.run([sheetkit, "suite", "results", suite, export, "--format", "latex"],
                               stdout=subprocess.PIPE, text=True).stdout
        if shutil.which("pdflatex"):
            with open(os.path.join(scratch, "table.tex"), "w") as f:
                f.write("\\documentclass{article}\n\\usepackage{booktabs}\n"
                        "\\usepackage[landscape]{geometry}\n\\begin{document}\n"
                        f"{latex}\\end{{document}}\n")
            compiled = subprocess.run(["pdflatex", "-interaction=nonstopmode", "-halt-on-error",
                                       "table.tex"], cwd=scratch, stdout=subprocess.PIPE, text=True)
            if compiled.returncode != 0:
                problems.append("pdflatex failed:\n" + compiled.stdout[-2000:])
            else:
                shutil.copyfile(os.path.join(scratch, "table.pdf"), os.path.join(out, "table.pdf"))
                print("the LaTeX table compiles with pdflatex")
        else:
            print("not compiled: no pdflatex here")
    for p in problems:
        print(p)
    print("ok" if not problems else f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
