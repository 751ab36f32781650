"""sheetgen.bounds: the figures and names of sheetkit stats --json, held to
sheetkit itself and to a subset sum done with Python's integers."""

import json
import pathlib
import random
import subprocess

import pytest

import sheetgen
from conftest import BUILD_DIR, WORKED

SHEETKIT = pathlib.Path(BUILD_DIR or "/nonexistent") / "sheetkit/sheetkit"


def test_worked_example():
    items, defects = sheetgen.Run(**WORKED)[0]
    b = sheetgen.bounds(items, defects, 10, 10)
    assert b == dict(object_area=100, defect_area=16, usable_area=84, copies_that_fit=[1, 1, 1, 1],
                     value_is_area=True, copies_value=61, linear_relaxation=61, knapsack=61,
                     knapsack_method="all_fit", knapsack_exact=True, knapsack_note=None, best=61,
                     best_is="knapsack")
    # Unlimited copies, turned or not: 84 = 6 x 14.
    loose = sheetgen.bounds(items, defects, 10, 10, copies=None, rotation=True)
    assert loose["copies_that_fit"] == [5, 5, 6, 5] and loose["best"] == 84
    assert loose["knapsack_method"] == "subset_sum"
    # Values: the dynamic programme, and per type copies.
    valued = sheetgen.bounds(items[:, :2], defects, 10, 10, copies=[2, None, 1, 1],
                             values=[30, 1, 1, 1])
    assert valued["value_is_area"] is False and valued["knapsack_method"] == "dynamic_programming"
    assert valued["copies_that_fit"] == [2, 5, 1, 1] and valued["best"] == 30 * 2 + 3


@pytest.mark.skipif(not SHEETKIT.exists(), reason="needs sheetkit, built beside the package")
@pytest.mark.parametrize("options", [[], ["--copies", "unlimited", "--rotation"], ["--copies", "3"]])
def test_same_as_stats_json(in_tmp, options):
    run = sheetgen.Run(length=300, width=200, instances=6, item_types=30, lower=0.001, upper=0.05,
                       defects=[(20, 30), (5, 5), (40, 1)], seed=5)
    run.write("i.txt", "d.txt")
    out = subprocess.run([SHEETKIT, "stats", "--object", "300x200", "i.txt", "d.txt",
                          "--per-instance", "--json", *options],
                         capture_output=True, text=True, check=True)
    lines = json.loads(out.stdout)["per_instance"]
    copies = None if "unlimited" in options else int(options[1]) if options else 1
    for (items, defects), line in zip(run, lines):
        assert sheetgen.bounds(items, defects, 300, 200, copies=copies,
                               rotation="--rotation" in options) == line["upper_bounds"]


def subset_sum(areas, counts, capacity):
    reach = 1
    for a, c in zip(areas, counts):
        for _ in range(c):
            reach |= reach << a
    reach &= (1 << (capacity + 1)) - 1
    return reach.bit_length() - 1


def test_subset_sum_held_to_python_integers():
    rng = random.Random(11)
    for _ in range(60):
        length, width = rng.randint(30, 200), rng.randint(30, 150)
        items = [[rng.randint(1, length), rng.randint(1, width)] for _ in range(rng.randint(1, 15))]
        copies = [rng.randint(1, 5) for _ in items]
        x, y = rng.randint(0, length - 1), rng.randint(0, width - 1)
        defects = [[x, y, x + rng.randint(1, 20), y + rng.randint(1, 20)]]
        b = sheetgen.bounds(items, defects, length, width, copies=copies)
        areas = [l * w for l, w in items]
        assert b["best"] == subset_sum(areas, b["copies_that_fit"], b["usable_area"])
        assert all(f <= c for f, c in zip(b["copies_that_fit"], copies))


def test_bad_arguments_raise():
    with pytest.raises(ValueError, match="copies must have one count per item type"):
        sheetgen.bounds([[1, 1]], [], 5, 5, copies=[1, 2])
    with pytest.raises(ValueError, match=r"values must have shape \(1,\)"):
        sheetgen.bounds([[1, 1]], [], 5, 5, values=[1, 2])
    with pytest.raises(ValueError, match=r"values\[0\] must be >= 0"):
        sheetgen.bounds([[1, 1]], [], 5, 5, values=[-1])
    with pytest.raises(ValueError, match="copies\\[0\\] must be >= 1"):
        sheetgen.bounds([[1, 1]], [], 5, 5, copies=[0])
    with pytest.raises(ValueError, match="object's sides"):
        sheetgen.bounds([[1, 1]], [], 0, 5)
    with pytest.raises(TypeError, match="rotation must be a bool"):
        sheetgen.bounds([[1, 1]], [], 5, 5, rotation=1)
