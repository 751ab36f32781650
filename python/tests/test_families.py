"""sheetgen.generate: the families as sheetkit generate writes them, the
published classic instances, and bad settings refused by name."""

import numpy as np
import pytest

import sheetgen


def test_published_check_values_and_the_files_bytes(tmp_path):
    run = sheetgen.generate("binpacking", class_=1, items=20, instances=10)
    assert len(run) == 10 and (run.length, run.width) == (10, 10)
    items, defects = run[0]
    # (h, w) as published is (width, length) here.
    assert [tuple(r) for r in items[:4, [1, 0]]] == [(9, 5), (2, 4), (6, 10), (7, 5)]
    assert tuple(items[-1, [1, 0]]) == (7, 8)
    assert defects.shape == (0, 4)
    assert (run.values(0) == items[:, 2]).all() and (run.copies(0) == 1).all()
    x = sheetgen.generate("binpacking", class_=10, items=100, first=10)
    assert [tuple(x[0][0][k, [1, 0]]) for k in (0, 1, -1)] == [(44, 12), (54, 96), (78, 23)]


def test_values_copies_defects_and_layers():
    run = sheetgen.generate("knapsack", type=2, items=50, copies=3, seed=9, instances=4,
                            defects=("separate", {"count": 5}))
    items, defects, values, copies = run.instance(-1)
    assert values.dtype == np.int64 and (copies == 3).all()
    assert set(values // items[:, 2].astype(np.int64)) <= {1, 2, 3}
    assert (values % items[:, 2] == 0).all()
    assert defects.shape == (5, 4)
    layered = sheetgen.generate("knapsack", type=2, items=50, copies=3, seed=9, instances=4,
                                defects=("separate", {"count": 5}), layer=2)
    again_items, again_defects = layered[3]
    assert (again_items == items).all() and (again_defects == defects[:2]).all()
    bare = sheetgen.generate("knapsack", type=2, items=50, copies=3, seed=9, instances=4)
    assert (bare[3][0] == items).all()
    unlimited = sheetgen.generate("gcut", items=3)
    assert (unlimited.copies(0) == -1).all()
    assert unlimited.settings[1] == [("items", "3"), ("length", "250"), ("width", "250"),
                                     ("copies", "unlimited")]


def test_perfect_instances_tile_the_object_but_their_defects():
    run = sheetgen.generate("perfect", items=40, length=300, width=200, least=4,
                            defect_sizes="30x20,10x200", orientation="vertical", instances=3)
    for k in range(3):
        items, defects = run[k]
        assert len(items) == 40 and defects.shape == (2, 4)
        # Every item type once, value = area: their total is the usable area.
        defect_area = int(((defects[:, 2] - defects[:, 0]) * (defects[:, 3] - defects[:, 1])).sum())
        assert int(items[:, 2].sum()) == 300 * 200 - defect_area
        assert (run.values(k) == items[:, 2]).all() and (run.copies(k) == 1).all()


@pytest.mark.parametrize("call, message", [
    (lambda: sheetgen.generate("gcutt", items=3),
     'unknown family "gcutt"; did you mean gcut? (families: binpacking, knapsack, gcut, perfect)'),
    (lambda: sheetgen.generate("perfect", items=3, defect_sizes="5x5", defects="points"),
     "perfect places its defects itself, cut out of its tree: give their sizes as its parameter "
     "defect_sizes=LENGTHxWIDTH,..., not the defect law points"),
    (lambda: sheetgen.generate("gcut", itemz=3),
     'gcut has no parameter "itemz"; did you mean items? '
     "(its parameters: items, length, width, copies)"),
    (lambda: sheetgen.generate("gcut", items=0),
     "gcut: items 0 is out of range: it takes an integer from 1 to 20000"),
    (lambda: sheetgen.generate("gcut", items=3, defects=("points", {"low": 5, "high": 2})),
     "points: low 5 is above high 2"),
    (lambda: sheetgen.generate("gcut", items=2, defects=(
        "separate", {"count": 2, "low": "0.6", "high": "0.7", "tries": 10}))[0],
     "instance 1: defect 2 does not fit beside the 1 before it in 10 tries: "
     "ask for fewer or smaller defects, or more tries"),
])
def test_bad_settings_are_named(call, message):
    with pytest.raises(sheetgen.Error) as e:
        call()
    assert str(e.value) == message


def test_types_are_checked():
    with pytest.raises(TypeError):
        sheetgen.generate("gcut", items=2.0)
    with pytest.raises(TypeError):
        sheetgen.generate("gcut", items=2, seed="1")
