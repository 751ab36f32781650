"""check_placements and read_solution: sheetkit's referee, held to what
sheetkit itself prints for the same placements."""

import json
import os
import pathlib
import re
import subprocess

import numpy as np
import pytest

import sheetgen
from conftest import BUILD_DIR, SOURCE_DIR, WORKED

ITEMS, DEFECTS = sheetgen.Run(**WORKED)[0]  # 10 x 10; defects (7,0)-(10,2), (0,6)-(10,7)
FEASIBLE = [[0, 0, 0, 0], [2, 3, 2, 0], [3, 0, 7, 0]]
# Every kind of fault once: an overlap, a defect hit, outside, a turn not
# allowed (and type 0 twice), a type of another instance.
FAULTY = [[0, 0, 0, 0], [3, 2, 3, 0], [2, 0, 5, 0], [1, 8, 7, 0], [0, 3, 7, 1], [9, 0, 0, 0]]
SHEETKIT = pathlib.Path(BUILD_DIR or "/nonexistent") / "sheetkit/sheetkit"


def test_feasible_placement_has_sheetkit_figures():
    r = sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, np.array(FEASIBLE, dtype=np.int16))
    assert r == dict(feasible=True, violations=0, messages=[], items_placed=3, distinct_types=3,
                     placed_area=45, profit=45, usable_area=84, area_bound=61,
                     utilisation=45 / 84, gap=16 / 61)
    assert sheetgen.check_placements(ITEMS[:, :2], [], 10, 10, [])["area_bound"] == 61


@pytest.mark.skipif(not SHEETKIT.exists(), reason="needs sheetkit, built beside the package")
def test_violations_are_worded_as_sheetkit_words_them(in_tmp):
    sheetgen.Run(**WORKED).write("instances.txt", "defects.txt")
    rows = "".join(f"1,{t},{x},{y},{r}\n" for t, x, y, r in FAULTY)
    pathlib.Path("placed.csv").write_text("instance,item_type,x,y,rotated\n" + rows)
    out = subprocess.run([SHEETKIT, "solution", "check", "placed.csv", "--object", "10x10",
                          "instances.txt", "defects.txt", "--json"], capture_output=True, text=True)
    expected = json.loads(out.stdout)["instances"][0]
    # Line L of the file is row L - 2 of the array.
    row = lambda m: str(int(m[1]) - 2)
    expected["messages"] = [re.sub(r"^placed\.csv:(\d+)(, (\d+))?",
                                   lambda m: "placement " + row(m) +
                                   (", " + str(int(m[3]) - 2) if m[3] else ""), line)
                            for line in expected["messages"]]
    del expected["instance"], expected["file"]
    got = sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, FAULTY)
    assert got == expected and got["violations"] == 6
    assert "placement 4: item type 0 at (3, 7), 5 x 3: item type 0 is 3 x 5, turned here, and " \
           "rotation is not allowed" in got["messages"]
    # Allowed turns and copies: what remains is geometry and the unknown type.
    loose = sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, FAULTY, copies=None, rotation=True)
    assert loose["violations"] == 4 and loose["area_bound"] == 84


def test_bad_arguments_raise():
    with pytest.raises(ValueError, match=r"placement 0: rotated 2 is neither 0 nor 1"):
        sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, [[0, 0, 0, 2]])
    with pytest.raises(ValueError, match=r"shape \(n, 4\)"):
        sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, [[0, 0, 0]])
    with pytest.raises(TypeError, match="integers"):
        sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, [[0, 0.5, 0, 0]])
    with pytest.raises(ValueError, match="area 7 is not 3 x 5"):
        sheetgen.check_placements([[3, 5, 7]], DEFECTS, 10, 10, [])


def test_certificates_read_and_judged_as_sheetkit_judges_them():
    items, defects = sheetgen.Run.from_answers(SOURCE_DIR / "examples/glass/answers.txt")[0]
    for name in ("rectangle_solution.csv", "rectangleguillotine_solution.csv"):
        [s] = sheetgen.read_solution(SOURCE_DIR / "examples/glass" / name)
        assert s.instance is None and s.placements.shape == (25, 4) and len(s.defects) == 3
        r = sheetgen.check_placements(items, defects, 6000, 3210, s.placements, sides=s.sides)
        assert r["feasible"] and r["placed_area"] == 10114826
    assert s.format == "rectangleguillotine" and s.nodes.shape[1] == 10


def test_bad_files_raise_sheetkit_messages(in_tmp):
    pathlib.Path("s.csv").write_bytes(b"instance,item_type,x,y,rotated\r\n1,0,0,0,0\r\n2,1,x,0,0\r\n")
    with pytest.raises(sheetgen.Error, match=r'^s\.csv:3: x "x" is not an integer$'):
        sheetgen.read_solution("s.csv")
    with pytest.raises(FileNotFoundError):
        sheetgen.read_solution("missing.csv")
    pathlib.Path("s.csv").write_text("instance,item_type,x,y,rotated\n1,0,0,0,0\n3,1,2,0,1\n")
    one, three = sheetgen.read_solution(pathlib.Path("s.csv"))
    assert (one.instance, three.instance) == (1, 3)
    assert three.placements.tolist() == [[1, 2, 0, 1]] and three.lines.tolist() == [3]
