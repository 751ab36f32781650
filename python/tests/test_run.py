"""sheetgen.Run: the answers and their checks, the instances in memory, and
the files it writes against the bytes sheetgen is recorded to write."""

import collections.abc
import hashlib
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import sheetgen
from conftest import (REPAIR_FAILED, SOURCE_DIR, WORKED, WORKED_DEFECTS, WORKED_ITEMS,
                      stopped_by_a_signal)


def recorded_outcomes():
    # "NAME status S console.out H FILE H ...", as tests/outcomes.sh writes it.
    outcomes = {}
    for line in (SOURCE_DIR / "tests/data/outcomes.txt").read_text().splitlines():
        name, _, status, *files = line.split()
        written = dict(zip(files[::2], files[1::2]))
        del written["console.out"]
        outcomes[name] = (int(status), written)
    return outcomes


ANSWERS = sorted([*SOURCE_DIR.glob("examples/*.txt"), *SOURCE_DIR.glob("tests/data/*.answers")])


@pytest.mark.parametrize("answers", ANSWERS, ids=lambda p: p.name)
def test_stored_answers_write_the_recorded_bytes_and_read_back(answers, in_tmp):
    status, expected = recorded_outcomes()[answers.name]
    run = sheetgen.Run.from_answers(answers)
    if status == 0:
        run.write()
    else:
        with pytest.raises(sheetgen.Error, match=REPAIR_FAILED):
            run.write()
    written = {f.name: hashlib.sha256(f.read_bytes()).hexdigest()[:16] for f in in_tmp.iterdir()}
    assert written == expected

    defect_file = "defects.txt" if "defects.txt" in written else None
    read = list(sheetgen.read("instances.txt", defect_file))
    if status == 0:
        generated = list(run)
        assert len(read) == len(generated) == len(run)
        for (items, defects), (items2, defects2) in zip(read, generated):
            np.testing.assert_array_equal(items, items2)
            np.testing.assert_array_equal(defects, defects2)
    else:
        # The blocks before the failing instance, as in the file; the
        # defects of a run that never finished its items do not exist.
        for k, (items, _) in enumerate(read):
            np.testing.assert_array_equal(run.items(k), items)
        with pytest.raises(sheetgen.Error, match=REPAIR_FAILED):
            run.items(len(read))
        with pytest.raises(sheetgen.Error, match=REPAIR_FAILED):
            next(iter(run))
        with pytest.raises(sheetgen.Error, match=REPAIR_FAILED):
            run[0]
        with pytest.raises(sheetgen.Error, match=REPAIR_FAILED):
            run.arrays()


def test_worked_example_in_memory():
    run = sheetgen.Run(**WORKED)
    assert (run.min_area, run.max_area, len(run)) == (10, 20, 2)
    pairs = list(run)
    assert [i.tolist() for i, _ in pairs] == WORKED_ITEMS
    assert [d.tolist() for _, d in pairs] == WORKED_DEFECTS
    for items, defects in pairs:
        assert items.dtype == defects.dtype == np.int32
        assert items.flags.owndata and defects.flags.owndata  # the caller's, not a view
    # Any instance alone, in any order, and the same again.
    for k in (1, 0, -1, 1):
        assert run.items(k).tolist() == WORKED_ITEMS[k]
        assert [a.tolist() for a in run[k]] == [WORKED_ITEMS[k], WORKED_DEFECTS[k]]
    with pytest.raises(IndexError):
        run.items(2)
    with pytest.raises(IndexError):
        run[-3]
    assert sheetgen.Run.from_answers(SOURCE_DIR / "examples/worked_example.txt").items(1).tolist() \
        == WORKED_ITEMS[1]
    assert eval(repr(run), {"sheetgen": sheetgen})[1][1].tolist() == WORKED_DEFECTS[1]

    no_defects = sheetgen.Run(**{**WORKED, "defects": []})
    assert [d.shape for _, d in no_defects] == [(0, 4), (0, 4)]
    assert no_defects.items(1).tolist() == WORKED_ITEMS[1]  # the defects' draws come after


def with_answer(**changes):
    return {**WORKED, **changes}


@pytest.mark.parametrize("changes, message", [
    (dict(instances=20001), "Please recompile code with larger MAXMOD value!"),
    (dict(length=0), "The large object's length and width must be positive and their product "
                     "must not exceed 2147483647!"),
    (dict(length=65536, width=32768), "The large object's length"),
    (dict(item_types=20001), "Please recompile code with larger MAXMOD value!"),
    (dict(lower="1.5"), "Value must lie between 0 and 1!"),
    (dict(upper=float("nan")), "Value must lie between 0 and 1!"),
    (dict(lower="0.3"), "The upper bound for the relative size must not be smaller than the "
                        "lower bound!"),
    (dict(lower="0.1 0.2"), "Input is not a valid number!"),  # one answer is one word
    (dict(upper="0xinf"), "Input is not a valid number!"),
    (dict(seed=2**31), "Input is not a valid number!"),
    (dict(defects=[(1, 1)] * 1001), "Please recompile code with larger MAXDEF value!"),
    (dict(defects=[(3, 2), (0, 1)]), "Values must be greater than 0!"),
    (dict(defects=[(3, 2), (11, 1)]), "This defect does not fit onto the large object!"),
])
def test_refused_answers_give_the_dialogues_message(changes, message):
    with pytest.raises(sheetgen.Error) as caught:
        sheetgen.Run(**with_answer(**changes))
    assert str(caught.value).startswith(message) and not str(caught.value).endswith("\n")
    assert isinstance(caught.value, ValueError)


@pytest.mark.parametrize("changes", [
    dict(seed=True), dict(length=10.0), dict(lower=1), dict(upper=b"0.2"),
    dict(defects=[(3,)]), dict(defects=[(3, 2.0)]), dict(defects="32"),
])
def test_wrong_types_are_type_errors(changes):
    with pytest.raises(TypeError):
        sheetgen.Run(**with_answer(**changes))


def test_bounds_as_floats_are_read_from_their_shortest_text():
    as_text = sheetgen.Run(**with_answer(lower="1e-1", upper=".2"))
    for lower, upper in [(0.1, 0.2), (np.float32(0.1), np.float64(0.2)), ("0x1.99999ap-4", 0.2)]:
        run = sheetgen.Run(**with_answer(lower=lower, upper=upper, length=np.int64(10)))
        assert run.items(1).tolist() == as_text.items(1).tolist() == WORKED_ITEMS[1]
        assert (run.lower, run.upper, run.min_area, run.max_area) == (0.1, 0.2, 10, 20)


def test_repair_abort_ends_the_iteration_after_the_complete_instances():
    # tests/data/repair_abort.answers without its defect: equal bounds, a
    # few instances pass before one cannot be made.
    run = sheetgen.Run(length=100, width=50, instances=50, item_types=1, lower="0.015",
                       upper="0.015", seed=36)
    it = iter(run)
    done = []
    with pytest.raises(sheetgen.Error) as caught:
        for items, _ in it:
            done.append(items.tolist())
    # The console's leading blank is not part of the exception's text.
    assert str(caught.value).startswith(REPAIR_FAILED)
    assert 0 < len(done) < 50
    assert next(it, "ended") == "ended"
    assert run.items(len(done) - 1).tolist() == done[-1]


def test_threads_share_a_run():
    run = sheetgen.Run(**with_answer(instances=200, length=100, width=100,
                                     defects=[(3, 2)] * 50))
    expected = [(i.tolist(), d.tolist()) for i, d in run]
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda _: [(i.tolist(), d.tolist()) for i, d in run], range(4)))
        assert all(r == expected for r in results)
        assert list(pool.map(lambda k: run[k][1].tolist(), range(200))) == \
            [d for _, d in expected]
    items, defects = run.arrays()
    assert (items.tolist(), defects.tolist()) == tuple(map(list, zip(*expected)))


def test_a_run_is_a_sequence_with_its_answers_as_attributes():
    run = sheetgen.Run(**WORKED)
    assert isinstance(run, collections.abc.Sequence)
    assert (run.instances + 1, run.defects, run.item_types) == (3, [(3, 2), (10, 1)], 4)
    assert [[a.tolist() for a in pair] for pair in run[::-1]] == \
        [[WORKED_ITEMS[1], WORKED_DEFECTS[1]], [WORKED_ITEMS[0], WORKED_DEFECTS[0]]]
    with pytest.raises(TypeError):
        run["0"]
    items, defects = run.arrays()
    assert items.dtype == defects.dtype == np.int32 and items.flags.owndata
    assert (items.tolist(), defects.tolist()) == (WORKED_ITEMS, WORKED_DEFECTS)
    # The methods of the last release, with a warning that names the new way.
    with pytest.warns(DeprecationWarning, match="for items, defects in run"):
        assert [i.tolist() for i, _ in run.instances()] == WORKED_ITEMS
    with pytest.warns(DeprecationWarning, match=r"run\[k\]\[1\]"):
        assert run.defects(-1).tolist() == WORKED_DEFECTS[1]
    # A negative count is taken as none, as the dialogue takes it.
    none = sheetgen.Run(**with_answer(instances=-1, defects=[]))
    assert (none.instances, len(none), list(none)) == (-1, 0, [])
    assert [a.shape for a in none.arrays()] == [(0, 4, 3), (0, 0, 4)]
    assert sheetgen.Run(**with_answer(defects=[])).arrays()[1].shape == (2, 0, 4)


def test_write_fails_as_sheetgen_does(in_tmp):
    run = sheetgen.Run(**WORKED)
    (in_tmp / "sub").mkdir()
    run.write(instance_file="i.txt", defect_file=in_tmp / "d.txt", folder="sub")
    assert sorted(p.name for p in (in_tmp / "sub").iterdir()) == ["i.txt"]  # d.txt is absolute
    assert (in_tmp / "d.txt").read_bytes() == \
        b"7.000000\t0.000000\t10.000000\t2.000000\n0.000000\t6.000000\t10.000000\t7.000000\n\n" \
        b"1.000000\t0.000000\t4.000000\t2.000000\n0.000000\t4.000000\t10.000000\t5.000000\n\n"
    for names, message in [(("a.txt", "./a.txt"), "The defect file must differ from the "
                                                  "instance file!"),
                           (("a" * 80, "d.txt"), "File name too long (at most 79 characters)!"),
                           (("nowhere/a.txt", "d.txt"), "Cannot write file nowhere/a.txt!"),
                           (("i.txt", "/dev/full"), "Cannot write file /dev/full!")]:
        with pytest.raises(sheetgen.Error) as caught:
            run.write(*names)
        assert str(caught.value) == message
    assert not (in_tmp / "a.txt").exists()
    with pytest.raises(TypeError):
        run.write()  # a run made in code has no names
    with pytest.raises(TypeError):
        run.write("i.txt")
    with pytest.raises(ValueError):
        sheetgen.Run(**with_answer(defects=[])).write("i.txt", "d.txt")


LARGEST = dict(length=20000, width=20000, instances=20000, item_types=20000, lower=0.001,
               upper=0.1, seed=1)


@pytest.mark.parametrize("work, defects", [
    (lambda run: run.write("/dev/null"), []),
    (lambda run: run.items(19999), []),
    (lambda run: run[0], [(1, 1)]),
    (lambda run: next(iter(run)), [(1, 1)]),
], ids=["write", "items", "defects", "instances"])
def test_a_signal_stops_long_work(work, defects):
    # 400 million items take seconds without the GIL; Ctrl-C must not wait.
    run = sheetgen.Run(**LARGEST, defects=defects)
    stopped_by_a_signal(lambda: work(run))
