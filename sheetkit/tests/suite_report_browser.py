"""Opens suite pages in headless Chromium, as a reader's browser would, and
checks what it rendered: a row and pictures for every class, the checksum
to cite, the copy button the script adds. Each page must also be
well-formed (XML) and HTML that xmllint reads without errors beyond the
HTML5 and SVG elements its HTML 4 parser does not know. The README's
example suite's page is screenshot (suite_report.png in OUT); with
SHEETGEN_UPDATE_DOCS=1 the screenshot replaces docs/suite_report.png.

Exits 77 (skipped) when Chromium is not installed.

usage: suite_report_browser.py SHEETKIT SOURCE_DIR OUT
"""

import hashlib
import html
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reader_tools  # noqa: E402
from reader_tools import SKIPPED, browse, validate  # noqa: E402

# The worked example's class over three seeds; several classes with
# skipped and aborted seeds and a thin object.
SUITES = {
    "worked-3": """{"suite": "worked-3", "seeds": {"first": 19, "count": 3},
 "classes": [{"name": "worked", "length": 10, "width": 10, "instances": 2, "item_types": 4,
    "lower": "0.1", "upper": "0.2", "defects": [[3, 2], [10, 1]]}]}""",
    "several": """{"suite": "several", "seeds": [1, 2, 19],
 "classes": [
  {"name": "worked", "length": 10, "width": 10, "instances": 2, "item_types": 4,
   "lower": "0.1", "upper": "0.2", "defects": [[3, 2], [10, 1]]},
  {"name": "thin_strip", "length": 20000, "width": 12, "instances": 3, "item_types": 30,
   "lower": "0.0001", "upper": "0.002", "defects": [[100, 3], [2000, 12], [5, 5]]},
  {"name": "tight", "length": 10, "width": 10, "instances": 30, "item_types": 20,
   "lower": "0.1", "upper": "0.2", "complete": true, "seeds": {"first": 60, "count": 2}},
  {"name": "aborting", "length": 10, "width": 10, "instances": 30, "item_types": 20,
   "lower": "0.1", "upper": "0.2", "seeds": [60, 61]}]}""",
}

class Rendered(reader_tools.Rendered):
    """Besides: the class names of the figures table."""

    def __init__(self):
        super().__init__()
        self.rows = []

    def handle_data(self, data):
        super().handle_data(data)
        if self.inside("table", **{"class": "figures"}) and self.inside("tbody") and \
                self.where and self.where[-1][0] == "th":
            self.rows.append(data)


# Measures, once the page is laid out, how the pictures are scaled and
# whether the narrow layout is on; appended to a copy of the page.
MEASURE = """<script>
var main = document.querySelector("main");
document.documentElement.setAttribute("data-layout", JSON.stringify({
  narrow: getComputedStyle(main).paddingLeft === "16px",
  overflow: document.documentElement.scrollWidth > window.innerWidth,
  pictures: Array.from(document.querySelectorAll("figure svg")).map(function (svg) {
    return [svg.width.baseVal.value, svg.getBoundingClientRect().width]; })}));
</script>"""


def layout(browser, page, width):
    """What the page looks like at `width` pixels: the narrow layout or not,
    whether it scrolls sideways, each picture's own and drawn width."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    measured = page + f".{width}.html"
    with open(measured, "w", encoding="utf-8") as f:
        f.write(text.replace("</body>", MEASURE + "</body>"))
    dom = browse(browser, measured, "--dump-dom", f"--window-size={width},900").stdout
    found = re.search(r'data-layout="([^"]*)"', dom)
    return json.loads(html.unescape(found.group(1))) if found else None


def check_widths(browser, page, name):
    """At 1280 pixels the pictures are drawn at their own size, side by side
    or one below the other; from 800 down the narrow layout shrinks them to
    the window, and nothing scrolls sideways."""
    problems = []
    wide, narrow = layout(browser, page, 1280), layout(browser, page, 800)
    if wide is None or narrow is None:
        return [f"{name}: the layout could not be measured"]
    if wide["narrow"] or not narrow["narrow"]:
        problems.append(f"{name}: the narrow layout is {wide['narrow']} at 1280 px and "
                        f"{narrow['narrow']} at 800 px")
    shrunk = [own for own, drawn in wide["pictures"] if own <= 1100 and drawn < own - 0.5]
    if shrunk:
        problems.append(f"{name}: at 1280 px pictures {shrunk} px wide are drawn smaller")
    if narrow["overflow"] or any(drawn > 800 for _, drawn in narrow["pictures"]):
        problems.append(f"{name}: at 800 px the page is wider than the window")
    return problems


def check(sheetkit, browser, scratch, name, suite_file):
    folder = os.path.join(scratch, name)
    with open(folder + ".json", "w") as f:
        f.write(suite_file)
    made = subprocess.run([sheetkit, "suite", "make", folder + ".json", "-o", folder],
                          check=True, stdout=subprocess.PIPE, text=True).stdout
    page = os.path.join(folder, "index.html")
    problems = validate(page)
    seen = Rendered()
    seen.feed(browse(browser, page, "--dump-dom").stdout)
    with open(os.path.join(folder, "manifest.tsv"), "rb") as f:
        sha256 = hashlib.sha256(f.read()).hexdigest()
    problems += [f"{name}: {p}" for p in seen.faults(sha256)]
    if not made.endswith(f"manifest sha256: {sha256}\n"):
        problems.append(f"{name}: make does not end with the checksum {sha256}")
    classes = re.findall(r'"name": "([^"]+)"', suite_file)
    if seen.rows != classes:
        problems.append(f"{name}: the table's rows are {seen.rows}, not {classes}")
    for c in classes:
        with_defects = re.search(r'"name": "' + c + r'"[^}]*"defects": \[\[', suite_file)
        complete = any(line.startswith(f"{c}/") and "\tcompleted\t" in line
                       for line in open(os.path.join(folder, "manifest.tsv")))
        want = (3 if with_defects else 1) if complete else 0
        if seen.pictures.get(c) != want:
            problems.append(f"{name}: class {c} has {seen.pictures.get(c)} pictures, not {want}")
    return problems + check_widths(browser, page, name), page


def main():
    started = reader_tools.start()
    if not started:
        return SKIPPED
    sheetkit, source, out, browser = started
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        with open(os.path.join(source, "examples", "suite.json")) as f:
            suites = dict(SUITES, **{"glass": f.read()})  # the folder docs/suites.md makes
        for name, suite_file in suites.items():
            found, page = check(sheetkit, browser, scratch, name, suite_file)
            problems += found
            print(f"{name}: {'ok' if not found else 'problems'}")
            if name == "glass":
                reader_tools.screenshots(
                    browser, page, out,
                    {"suite_report.png": "1280,1700", "suite_report_narrow.png": "800,2400"},
                    source, "suite_report.png")
    return reader_tools.verdict(problems)


if __name__ == "__main__":
    sys.exit(main())
