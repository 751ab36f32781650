"""Shared by the Python tests: where the sources and the build are, and the
marker of the tests that ctest runs under the label "slow"."""

import os
import pathlib
import signal
import time

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("SHEETGEN_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
BUILD_DIR = os.environ.get("SHEETGEN_BUILD_DIR")
# Set by the sanitizer build, whose ASan keeps freed memory in quarantine.
SANITIZED = bool(os.environ.get("SHEETGEN_SANITIZE"))

# The worked example of README, as answered and as generated.
WORKED = dict(length=10, width=10, instances=2, item_types=4, lower="0.1", upper="0.2",
              defects=[(3, 2), (10, 1)], seed=19)
WORKED_ITEMS = [[[3, 5, 15], [2, 8, 16], [7, 2, 14], [8, 2, 16]],
                [[3, 6, 18], [7, 2, 14], [2, 9, 18], [2, 5, 10]]]
WORKED_DEFECTS = [[[7, 0, 10, 2], [0, 6, 10, 7]], [[1, 0, 4, 2], [0, 4, 10, 5]]]
REPAIR_FAILED = "Determination of integer length or width of the small items failed"


class Stop(Exception):
    """What the alarm of stopped_by_a_signal raises, as Ctrl-C raises KeyboardInterrupt."""


def stopped_by_a_signal(work):
    """Asserts that work(), which would take seconds, ends with the
    exception an alarm's handler raises 0.2 s in, within 2 s."""
    def stop(*_):
        raise Stop

    previous = signal.signal(signal.SIGALRM, stop)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.2)
        start = time.monotonic()
        with pytest.raises(Stop):
            work()
        assert time.monotonic() - start < 2
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: takes many seconds (ctest label slow)")


@pytest.fixture
def in_tmp(tmp_path, monkeypatch):
    """A scratch folder as the current folder, as sheetgen's names are relative to it."""
    monkeypatch.chdir(tmp_path)
    return tmp_path
