"""Reads the paper table of a small suite as a script and a paper would:
the CSV with Python's csv module and the JSON with json, both held to
figures computed here another way (from the set files, by sorting); the
LaTeX table held to its golden file and, where pdflatex and booktabs are
at hand (CI installs them), compiled in a plain article, as is the table
of README's example suite: neither may be wider than the text.

usage: paper_table_read_back.py SHEETKIT GOLDEN_TEX EXAMPLE_SUITE
"""

import csv
import io
import json
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reader_tools import compile_latex, latex_at_hand, verdict  # noqa: E402

# The worked example's class over three seeds, all of whose runs complete.
SUITE = """{"suite": "worked-3", "seeds": {"first": 19, "count": 3},
 "classes": [{"name": "worked", "length": 10, "width": 10, "instances": 2, "item_types": 4,
    "lower": "0.1", "upper": "0.2", "defects": [[3, 2], [10, 1]]}]}
"""


def blocks(path, fields):
    """The file's blocks, each a list of tuples of integers."""
    out, block = [], []
    with open(path) as f:
        for line in f:
            if line == "\n":
                out.append(block)
                block = []
            else:
                block.append(tuple(int(float(v)) for v in line.split("\t")[:fields]))
    return out


def union_area(rects):
    """Cell by cell: slow, but plainly right for a 10 x 10 object."""
    return sum(any(x1 <= x < x2 and y1 <= y < y2 for x1, y1, x2, y2 in rects)
               for x in range(10) for y in range(10))


def expected(folder):
    items, totals, distinct, defect_area, covered = [], [], [], [], []
    for seed in (19, 20, 21):
        set_folder = os.path.join(folder, "worked", f"s{seed}")
        for block, defects in zip(blocks(os.path.join(set_folder, "instances.txt"), 3),
                                  blocks(os.path.join(set_folder, "defects.txt"), 4)):
            items += block
            totals.append(sum(a for _, _, a in block) / 100)
            distinct.append(len({(l, w) for l, w, _ in block}))
            defect_area.append(sum((x2 - x1) * (y2 - y1) for x1, y1, x2, y2 in defects) / 100)
            covered.append(union_area(defects) / 100)

    def rank(values, p):
        values = sorted(values)
        return values[int(p * (len(values) - 1))]

    lengths = [l for l, _, _ in items]
    widths = [w for _, w, _ in items]
    areas = [a / 100 for _, _, a in items]
    return {
        "class": "worked", "sets": 3, "instances_total": 6, "item_types_per_instance_mean": 4,
        "length": 10, "width": 10, "lower": "0.1", "upper": "0.2",
        "item_length_min": min(lengths), "item_length_median": rank(lengths, 0.5),
        "item_length_max": max(lengths),
        "item_width_min": min(widths), "item_width_median": rank(widths, 0.5),
        "item_width_max": max(widths),
        "item_area_relative_min": min(areas), "item_area_relative_q1": rank(areas, 0.25),
        "item_area_relative_median": rank(areas, 0.5),
        "item_area_relative_q3": rank(areas, 0.75), "item_area_relative_max": max(areas),
        "total_item_area_relative_per_instance_mean": statistics.fmean(totals),
        "total_item_area_relative_per_instance_sd": statistics.pstdev(totals),
        "distinct_item_types_per_instance_mean": statistics.fmean(distinct),
        "defects_per_instance_mean": 2,
        "defect_area_relative_per_instance_mean": statistics.fmean(defect_area),
        "defect_union_relative_per_instance_mean": statistics.fmean(covered),
    }


def same(found, want, where):
    problems = []
    for key, value in want.items():
        got = found.get(key)
        if isinstance(value, float) or isinstance(got, float):
            ok = got is not None and abs(float(got) - value) <= 1e-12 * max(1, abs(value))
        else:
            ok = got == value
        if not ok:
            problems.append(f"{where}: {key} is {got!r}, computed {value!r}")
    return problems


def main():
    sheetkit, golden, example_suite = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as scratch:
        with open(os.path.join(scratch, "suite.json"), "w") as f:
            f.write(SUITE)
        subprocess.run([sheetkit, "suite", "make", "suite.json", "-o", "worked-3"], cwd=scratch,
                       check=True, stdout=subprocess.DEVNULL)
        folder = os.path.join(scratch, "worked-3")
        want = expected(folder)

        def stats(fmt, suite=folder):
            return subprocess.run([sheetkit, "stats", "--suite", suite, "--format", fmt],
                                  check=True, stdout=subprocess.PIPE, text=True).stdout

        rows = list(csv.DictReader(io.StringIO(stats("csv"))))
        problems = [] if len(rows) == 1 else [f"csv: {len(rows)} rows, not 1"]
        row = {k: (v if k in ("class", "lower", "upper") else
                   int(v) if v.lstrip("-").isdigit() else float(v)) for k, v in rows[0].items()}
        problems += same(row, want, "csv")
        if list(row) != list(want):
            problems.append(f"csv: the columns are {list(row)}")
        document = json.loads(stats("json"))
        if document.get("format_version") != 2:
            problems.append(f"json: format_version is {document.get('format_version')!r}")
        problems += same(document["rows"][0], want, "json")
        if list(document["rows"][0]) != list(rows[0]):
            problems.append("json: the columns differ from the csv's")

        latex = stats("latex")
        with open(golden) as f:
            if latex != f.read():
                problems.append(f"latex: differs from {golden}:\n{latex}")
        if latex_at_hand():
            subprocess.run([sheetkit, "suite", "make", example_suite, "-o", "example"],
                           cwd=scratch, check=True, stdout=subprocess.DEVNULL)
            for name, table in (("worked", latex),
                                ("example", stats("latex", os.path.join(scratch, "example")))):
                problems += compile_latex(scratch, name, "\\begin{table}\n\\centering\n"
                                          f"{table}\\caption{{The instances.}}\n\\end{{table}}\n")
            print("the LaTeX tables compile with pdflatex and fit an article's text width")
        else:
            print("not compiled: no pdflatex or booktabs here (the golden text is compared "
                  "all the same)")
    return verdict(problems)


if __name__ == "__main__":
    sys.exit(main())
