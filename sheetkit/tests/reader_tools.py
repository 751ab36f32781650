"""What the tests that read sheetkit's pages and tables as their readers do
share: headless Chromium, the pages' validation, a parser of the DOM
Chromium built, pdflatex on a table in a plain article, the screenshots,
the runs that the export read-backs make, and the verdict."""

import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SKIPPED = 77

# What the HTML 4 parser of xmllint does not know, and is right here.
HTML5_AND_SVG = {"main", "section", "header", "footer", "figure", "figcaption", "svg", "title",
                 "style", "rect", "line", "polyline", "circle", "text"}


def start():
    """The command line SHEETKIT SOURCE_DIR OUT, OUT made, and the browser's
    path; None, with the skip said, where Chromium is not installed."""
    sheetkit, source, out = sys.argv[1:4]
    found = [shutil.which(n) for n in ("chromium", "chromium-browser", "google-chrome")]
    if not any(found):
        print("SKIPPED: Chromium is not installed (Debian package chromium); .ci/run installs it")
        return None
    os.makedirs(out, exist_ok=True)
    return sheetkit, source, out, next(filter(None, found))


def browse(browser, page, *args):
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run(
            [browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--hide-scrollbars", f"--user-data-dir={profile}", *args, "file://" + page],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=180, check=True)


def screenshots(browser, page, out, shots, source=None, docs_name=None):
    """`shots` ({file name: "WIDTH,HEIGHT"}) of `page` into `out`; with
    SHEETGEN_UPDATE_DOCS=1 the first replaces docs/`docs_name` in `source`."""
    for name, size in shots.items():
        browse(browser, page, f"--screenshot={os.path.join(out, name)}", f"--window-size={size}")
    print(f"screenshots in {out}")
    if docs_name and os.environ.get("SHEETGEN_UPDATE_DOCS") == "1":
        shutil.copyfile(os.path.join(out, next(iter(shots))),
                        os.path.join(source, "docs", docs_name))
        print(f"docs/{docs_name} replaced")


def validate(page):
    """The page's faults: not well-formed XML, or HTML that xmllint reads
    with errors beyond the HTML5 and SVG elements it does not know."""
    problems = []
    try:
        ElementTree.parse(page)
    except ElementTree.ParseError as e:
        problems.append(f"{page}: not well-formed: {e}")
    if shutil.which("xmllint"):
        done = subprocess.run(["xmllint", "--html", "--noout", page], stderr=subprocess.PIPE,
                              text=True)
        for line in done.stderr.splitlines():
            m = re.search(r"HTML parser error : (.*)", line)
            tag = m and re.fullmatch(r"Tag (\w+) invalid", m.group(1))
            if m and (not tag or tag.group(1) not in HTML5_AND_SVG):
                problems.append(f"xmllint: {line}")
    return problems


class Rendered(html.parser.HTMLParser):
    """What every suite page shows, from the DOM Chromium built: the
    pictures of each class's section, the checksum to cite and whether the
    copy button the script adds is shown. `where`: the open elements."""

    def __init__(self):
        super().__init__()
        self.where = []
        self.pictures = {}
        self.checksum = ""
        self.button_hidden = None
        self.section = None

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

    def handle_endtag(self, tag):
        while self.where:
            t, _ = self.where.pop()
            if t == tag:
                break
        if tag == "section":
            self.section = None

    def inside(self, tag, **want):
        return any(t == tag and all(a.get(k) == v for k, v in want.items())
                   for t, a in self.where)

    def handle_data(self, data):
        if self.inside("code", id="manifest-sha256"):
            self.checksum += data

    def faults(self, sha256):
        """How the page differs from one that cites `sha256` and shows the
        copy button."""
        problems = [] if self.checksum == sha256 else [
            f"the checksum shown is {self.checksum!r}, not {sha256}"]
        return problems + ([] if self.button_hidden is False else ["the copy button is not shown"])


def latex_at_hand():
    """Whether pdflatex and booktabs are installed (CI installs them)."""
    kpsewhich = shutil.which("kpsewhich")
    return bool(shutil.which("pdflatex") and kpsewhich and subprocess.run(
        [kpsewhich, "booktabs.sty"], stdout=subprocess.PIPE).returncode == 0)


def compile_latex(folder, name, body, preamble="", fits=True):
    """pdflatex's complaints about `body` in a plain article with booktabs
    (and `preamble`), compiled in `folder` as NAME.tex: none when it
    compiles and (with `fits`) nothing is wider than the text."""
    with open(os.path.join(folder, name + ".tex"), "w") as f:
        f.write(f"\\documentclass{{article}}\n\\usepackage{{booktabs}}\n{preamble}"
                f"\\begin{{document}}\n{body}\\end{{document}}\n")
    done = subprocess.run(["pdflatex", "-interaction=nonstopmode", "-halt-on-error",
                           name + ".tex"], cwd=folder, stdout=subprocess.PIPE, text=True)
    if done.returncode != 0:
        return [f"pdflatex failed on {name}:\n" + done.stdout[-2000:]]
    if not fits:
        return []
    with open(os.path.join(folder, name + ".log"), errors="replace") as f:
        log = f.read()
    return [f"{name}: {line}" for line in log.splitlines() if line.startswith("Overfull")]


def make_runs(sheetgen, folder, runs):
    """Writes each answers file of `runs` (name: text) into `folder` and pipes
    it into sheetgen there, as a user makes a run."""
    for name, answers in runs.items():
        with open(os.path.join(folder, name), "w") as f:
            f.write(answers)
        with open(os.path.join(folder, name)) as f:
            subprocess.run([sheetgen], cwd=folder, stdin=f, stdout=subprocess.DEVNULL, check=True)


def verdict(problems):
    """Prints the problems and "ok" or their count; the exit status."""
    for p in problems:
        print(p)
    print("ok" if not problems else f"{len(problems)} problem(s)")
    return 1 if problems else 0
