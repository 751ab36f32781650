"""sheetgen.read: the library's strict readers, their messages, and files
that cannot be opened."""

import numpy as np
import pytest

import sheetgen
from conftest import WORKED, WORKED_DEFECTS, WORKED_ITEMS


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
