"""Reads what sheetkit export --to roadef2018 and --to 2dpacklib write as
their own readers would (semicolon CSV with Python's csv module, the
.ins2D as whitespace-separated numbers) and holds them to the same run read
from the JSON export; holds PackingSolver's parameters.csv to the options
given; and requires refusals to write nothing.

usage: field_exports_read_back.py SHEETGEN SHEETKIT WORKED_EXAMPLE_ANSWERS
"""

import csv
import json
import os
import subprocess
import sys
import tempfile

import reader_tools


def sheetkit(tool, folder, *args, status=0):
    r = subprocess.run([tool, *args], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       text=True)
    assert r.returncode == status, (args, r.returncode, r.stderr)
    return r


def semicolons(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f, delimiter=";"))


def read_roadef(folder, instance):
    where = os.path.join(folder, f"instance_{instance}")
    batch = semicolons(os.path.join(where, "batch.csv"))
    defects = semicolons(os.path.join(where, "defects.csv"))
    params = {r["NAME"]: int(r["VALUE"]) for r in semicolons(os.path.join(where, "global_param.csv"))}
    return batch, defects, params


def read_ins2d(folder, instance):
    with open(os.path.join(folder, f"instance_{instance}.ins2D")) as f:
        numbers = [int(w) for w in f.read().split()]
    n, length, width = numbers[:3]
    rows = [numbers[3 + 6 * k:9 + 6 * k] for k in range(n)]
    assert len(numbers) == 3 + 6 * n
    with open(os.path.join(folder, f"instance_{instance}.defects")) as f:
        d = [int(w) for w in f.read().split()]
    defects = [d[1 + 5 * k:6 + 5 * k] for k in range(d[0])]
    assert len(d) == 1 + 5 * d[0]
    return (length, width), rows, defects


def main():
    sheetgen, tool, worked = sys.argv[1:4]
    runs = {
        "worked.answers": open(worked).read(),
        "larger.answers": "5\n500\n300\n40\n0.0001\n0.01\n3\n5 7\n500 1\n1 300\n"
                          "larger_i.txt\nlarger_d.txt\n7\n0\n",
    }
    with tempfile.TemporaryDirectory() as folder:
        reader_tools.make_runs(sheetgen, folder, runs)
        for name in runs:
            base = name.split(".")[0]
            sheetkit(tool, folder, "export", "--answers", name, "--to", "json", "-o", base + ".json")
            with open(os.path.join(folder, base + ".json")) as f:
                run = json.load(f)
            length, width = run["object"]["length"], run["object"]["width"]

            sheetkit(tool, folder, "export", "--answers", name, "--to", "roadef2018", "--rotation",
                     "--copies", "2", "-o", base + "_roadef")
            for k, inst in enumerate(run["instances"], 1):
                batch, defects, params = read_roadef(os.path.join(folder, base + "_roadef"), k)
                assert params == {"nPlates": 1, "widthPlates": length, "heightPlates": width,
                                  "minXX": 1, "maxXX": length, "minYY": 1, "minWaste": 1}
                # Two copies of every type, each its own stack of one.
                expected = [[l, w] for l, w, _ in inst["items"] for _ in range(2)]
                assert [[int(r["LENGTH_ITEM"]), int(r["WIDTH_ITEM"])] for r in batch] == expected
                assert all(r["ITEM_ID"] == r["STACK"] == str(i) and r["SEQUENCE"] == "1"
                           for i, r in enumerate(batch))
                assert [[int(r["X"]), int(r["Y"]), int(r["X"]) + int(r["WIDTH"]),
                         int(r["Y"]) + int(r["HEIGHT"])] for r in defects] == inst["defects"]
                assert [int(r["DEFECT_ID"]) for r in defects] == list(range(len(defects)))
                assert {r["PLATE_ID"] for r in defects} <= {"0"}

            sheetkit(tool, folder, "export", "--answers", name, "--to", "2dpacklib", "--copies", "3",
                     "-o", base + "_packlib")
            for k, inst in enumerate(run["instances"], 1):
                sides, rows, defects = read_ins2d(os.path.join(folder, base + "_packlib"), k)
                assert sides == (length, width)
                assert rows == [[i + 1, l, w, 0, 3, a] for i, (l, w, a) in enumerate(inst["items"])]
                assert [[x, y, x + l, y + w] for _, x, y, l, w in defects] == inst["defects"]
                assert [d[0] for d in defects] == list(range(1, len(defects) + 1))

        # The guillotine settings go into parameters.csv, as PackingSolver names them.
        sheetkit(tool, folder, "export", "--answers", "worked.answers", "--to", "packingsolver",
                 "--number-of-stages", "2", "--cut-type", "exact", "--first-stage-orientation",
                 "horizontal", "--cut-thickness", "3", "--cut-through-defects", "-o", "ps")
        with open(os.path.join(folder, "ps", "instance_2", "parameters.csv"), newline="") as f:
            p = {r["NAME"]: r["VALUE"] for r in csv.DictReader(f)}
        assert p == {"objective": "knapsack", "number_of_stages": "2", "cut_type": "exact",
                     "first_stage_orientation": "horizontal", "cut_thickness": "3",
                     "minimum_waste_length": "1", "cut_through_defects": "1"}, p
        sheetkit(tool, folder, "export", "--answers", "worked.answers", "--to", "packingsolver",
                 "-o", "plain")
        assert not os.path.exists(os.path.join(folder, "plain", "instance_1", "parameters.csv"))

        # Refused: nothing written, status 2; --drop writes.
        r = sheetkit(tool, folder, "export", "--answers", "worked.answers", "--to", "roadef2018",
                     "-o", "refused", status=2)
        assert "cannot carry items that must not be turned" in r.stderr
        assert not os.path.exists(os.path.join(folder, "refused"))
        sheetkit(tool, folder, "export", "--answers", "worked.answers", "--to", "roadef2018",
                 "--drop", "-o", "dropped")
        assert os.path.exists(os.path.join(folder, "dropped", "instance_2", "batch.csv"))
    print("roadef2018, 2dpacklib and parameters.csv read back")


main()
