"""check_placements and read_solution: sheetkit's referee, held to what
sheetkit itself prints for the same placements."""

import array
import fcntl
import json
import os
import pathlib
import re
import signal
import subprocess
import termios
import threading
import time

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


class Stopped(Exception):
    pass


def _stop(signum, frame):
    raise Stopped


def test_ctrl_c_ends_a_read_from_a_stalled_pipe(in_tmp):
    # A solver's pipe that says a header and then nothing: Ctrl-C (here
    # SIGINT, whose handler raises Stopped) ends the wait at once.
    os.mkfifo("stalled.csv")
    # A reader end of our own, so that the solver's open never waits, and
    # to see when read_solution has taken what was written.
    ours = os.open("stalled.csv", os.O_RDONLY | os.O_NONBLOCK)
    release = threading.Event()

    def solver():
        fd = os.open("stalled.csv", os.O_WRONLY)
        os.write(fd, b"instance,item_type,x,y,rotated\n1,0,0,0,0\n")
        unread = array.array("i", [1])
        while unread[0] > 0 and not release.is_set():  # until read_solution reads on
            fcntl.ioctl(ours, termios.FIONREAD, unread)
            time.sleep(0.01)
        time.sleep(0.2)
        if not release.is_set():
            os.kill(os.getpid(), signal.SIGINT)
        release.wait(20)
        os.close(fd)

    before = signal.signal(signal.SIGINT, _stop)
    writer = threading.Thread(target=solver)
    try:
        writer.start()
        started = time.monotonic()
        with pytest.raises(Stopped):
            sheetgen.read_solution("stalled.csv")
        assert time.monotonic() - started < 10  # not when the writer gives up
    finally:
        release.set()
        writer.join()
        signal.signal(signal.SIGINT, before)
        os.close(ours)
    # Without a signal, what a pipe holds is read as a file's.
    pathlib.Path("whole.csv").write_text("instance,item_type,x,y,rotated\n1,0,0,0,0\n")
    os.mkfifo("piped.csv")
    feeder = threading.Thread(target=lambda: pathlib.Path("piped.csv").write_bytes(
        pathlib.Path("whole.csv").read_bytes()))
    feeder.start()
    [s] = sheetgen.read_solution("piped.csv")
    feeder.join()
    assert s.placements.tolist() == [[0, 0, 0, 0]]



def test_ctrl_c_ends_a_check_of_millions_of_rows():
    # A grid of 3 million unit items, whose sweep takes a while: a signal
    # (its handler raises Stopped, as Ctrl-C's raises KeyboardInterrupt) a
    # tenth of the way in ends the check long before it would end.
    side = 1800
    xs, ys = np.meshgrid(np.arange(side, dtype=np.int64), np.arange(side, dtype=np.int64))
    placements = np.zeros((side * side, 4), dtype=np.int64)
    placements[:, 1] = xs.ravel()
    placements[:, 2] = ys.ravel()

    def check():
        return sheetgen.check_placements([[1, 1, 1]], [], side, side, placements, copies=None)

    started = time.monotonic()
    r = check()
    whole = time.monotonic() - started
    assert r["feasible"] and r["items_placed"] == side * side
    before = signal.signal(signal.SIGALRM, _stop)
    try:
        signal.setitimer(signal.ITIMER_REAL, whole / 10)
        started = time.monotonic()
        with pytest.raises(Stopped):
            check()
        assert time.monotonic() - started < whole / 2
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, before)

GLASS = SOURCE_DIR / "examples/glass"
# Faults planted by line into the glass run's certificates: a tree with a
# gap, a plate of two objects, copies stacked on one spot, a defect in
# another bin, and none.
PLANTED = [("rectangleguillotine_solution.csv", 7, "0,1,5,665,0,40,973,-1,3,2"),
           ("rectangleguillotine_solution.csv", 2, "0,2,0,0,0,6000,3210,0,0,"),
           ("rectangle_solution.csv", 30, "ITEM,14,2,0,3680,0,266,2131,0"),
           ("rectangle_solution.csv", 3, "DEFECT,0,1,7,1492,1920,150,90,"),
           ("rectangle_solution.csv", 0, None)]


@pytest.mark.skipif(not SHEETKIT.exists(), reason="needs sheetkit, built beside the package")
def test_a_whole_certificate_is_judged_as_sheetkit_judges_it(in_tmp):
    run = sheetgen.Run.from_answers(GLASS / "answers.txt")
    run.write("instances.txt", "defects.txt")
    items, defects = run[0]
    verdicts = []
    for name, line, row in PLANTED:
        lines = (GLASS / name).read_text().splitlines(keepends=True)
        if row:
            lines[line - 1] = row + "\n"
        pathlib.Path("c.csv").write_text("".join(lines))
        out = subprocess.run([SHEETKIT, "solution", "check", "c.csv", "--object", "6000x3210",
                              "instances.txt", "defects.txt", "--first-stage-orientation",
                              "vertical", "--json"], capture_output=True, text=True)
        expected = json.loads(out.stdout)["instances"][0]
        del expected["instance"], expected["file"]
        [s] = sheetgen.read_solution("c.csv")
        got = sheetgen.check_placements(items, defects, 6000, 3210, s,
                                        first_stage_orientation="vertical")
        assert got == expected, name
        verdicts.append(got["feasible"])
    assert verdicts == [False, False, False, False, True]
    # The tree is judged: the gap that the bare placements cannot show.
    assert got["messages"] == [] and "planted.csv:4: the pieces of node 2 end at x 705" in \
        json.dumps(sheetgen.check_placements(
            items, defects, 6000, 3210, sheetgen.read_solution(_planted(*PLANTED[0]))[0]))


def _planted(name, line, row):
    lines = (GLASS / name).read_text().splitlines(keepends=True)
    lines[line - 1] = row + "\n"
    pathlib.Path("planted.csv").write_text("".join(lines))
    return "planted.csv"


def test_arguments_past_their_range_raise_naming_them():
    with pytest.raises(ValueError, match=r"copies must be an int >= 1, or None for unlimited, not -1"):
        sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, FEASIBLE, copies=-1)
    with pytest.raises(ValueError, match=r"^placements holds 36893488147419103232, past 64 bits$"):
        sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, [[0, 2**65, 0, 0]])
    with pytest.raises(ValueError, match=r"^length is 36893488147419103232, past 64 bits$"):
        sheetgen.check_placements(ITEMS, DEFECTS, 2**65, 10, FEASIBLE)
    with pytest.raises(ValueError, match=r"defects row 0: x 0 to 1000000, y 0 to 1 is no defect of "
                                         r"the 10 x 10 object"):
        sheetgen.check_placements(ITEMS, [[0, 0, 1000000, 1]], 10, 10, FEASIBLE)
    with pytest.raises(ValueError, match=r'first_stage_orientation must be "vertical", '):
        sheetgen.check_placements(ITEMS, DEFECTS, 10, 10, FEASIBLE, first_stage_orientation="up")
