"""sheetgen.read: the library's strict readers, their messages, and files
that cannot be opened."""

import errno
import os
import subprocess
import threading

import numpy as np
import pytest

import sheetgen
from conftest import SOURCE_DIR, WORKED, WORKED_DEFECTS, WORKED_ITEMS, stopped_by_a_signal


@pytest.fixture
def worked_files(in_tmp):
    sheetgen.Run(**WORKED).write("instances.txt", "defects.txt")
    return in_tmp


def test_reads_what_run_writes_with_and_without_defects(worked_files):
    pairs = list(sheetgen.read("instances.txt", worked_files / "defects.txt"))
    assert [(i.tolist(), d.tolist()) for i, d in pairs] == list(zip(WORKED_ITEMS, WORKED_DEFECTS))
    assert all(i.dtype == d.dtype == np.int32 and i.flags.owndata for i, d in pairs)
    assert [d.shape for _, d in sheetgen.read(b"instances.txt")] == [(0, 4), (0, 4)]
    # CR LF, line by line, is the one departure the readers accept.
    crlf = (worked_files / "instances.txt").read_bytes().replace(b"\n", b"\r\n", 3)
    (worked_files / "crlf.txt").write_bytes(crlf)
    assert [i.tolist() for i, _ in sheetgen.read("crlf.txt")] == WORKED_ITEMS


def read_error(*names):
    with pytest.raises(sheetgen.Error) as caught:
        for _ in sheetgen.read(*names):
            pass
    return str(caught.value)


def test_malformed_files_give_the_readers_messages(worked_files):
    items = (worked_files / "instances.txt").read_bytes()
    (worked_files / "cut.txt").write_bytes(items[:100])
    (worked_files / "tabs.txt").write_bytes(b"3.000000\t5.000000\n\n")
    (worked_files / "one.txt").write_bytes(items[:items.index(b"\n\n") + 2])
    assert read_error("cut.txt") == "cut.txt:4: file ends in the middle of a line: cut short?"
    assert read_error("tabs.txt") == \
        'tabs.txt:1: expected 3 numbers separated by tabs, found 2: "3.000000\\t5.000000"'
    assert read_error("one.txt", "defects.txt") == \
        "one.txt:6: file ends after 1 block, but defects.txt has more (block 2 starts on its line 4)"


def test_files_that_cannot_be_opened_are_os_errors(worked_files):
    with pytest.raises(FileNotFoundError):
        sheetgen.read("instances.txt", "nowhere.txt")  # at once, not at the first instance
    with pytest.raises(IsADirectoryError):
        sheetgen.read(worked_files)
    with pytest.raises(TypeError):
        sheetgen.read(3)


def test_names_and_os_errors_as_pythons_open_gives_them(worked_files):
    # Names that are no UTF-8 reach their file: bytes, path-like, or str
    # holding the byte's escape.
    sheetgen.Run(**WORKED).write(b"\xff.txt", worked_files / os.fsdecode(b"\xfe.txt"))
    assert {b"\xff.txt", b"\xfe.txt"} <= set(os.listdir(b"."))
    assert [d.tolist() for _, d in sheetgen.read(os.fsdecode(b"\xff.txt"), b"\xfe.txt")] == \
        WORKED_DEFECTS
    with pytest.raises(FileNotFoundError) as caught:
        sheetgen.read(b"\xfd.txt")
    assert caught.value.filename == os.fsdecode(b"\xfd.txt")
    # A read that the OS fails: Linux gives EIO for the start of /proc/self/mem.
    if os.path.exists("/proc/self/mem"):
        for attempt in (lambda: list(sheetgen.read("/proc/self/mem")),
                        lambda: sheetgen.Run.from_answers("/proc/self/mem")):
            with pytest.raises(OSError) as caught:
                attempt()
            assert (caught.value.errno, caught.value.filename) == (errno.EIO, "/proc/self/mem")


def ticks_while(work):
    """How often another Python thread ran, every 10 ms, while work() ran."""
    ticks = []
    done = threading.Event()

    def tick():
        while not done.wait(0.01):
            ticks.append(1)

    thread = threading.Thread(target=tick)
    thread.start()
    try:
        work()
    finally:
        done.set()
        thread.join()
    return len(ticks)


def test_a_named_pipe_is_waited_for_without_the_gil(worked_files):
    os.mkfifo("pipe")
    for work, source in [(lambda: list(sheetgen.read("pipe")), "instances.txt"),
                         (lambda: sheetgen.Run.from_answers("pipe"),
                          SOURCE_DIR / "examples/worked_example.txt")]:
        writer = subprocess.Popen(["sh", "-c", 'sleep 0.5; cat "$1" > pipe', "sh", source])
        assert ticks_while(work) >= 20
        assert writer.wait() == 0
    # With no writer at all, Ctrl-C (here an alarm) still ends the wait.
    stopped_by_a_signal(lambda: sheetgen.read("pipe"))
