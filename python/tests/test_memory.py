"""Memory stays that of one instance however long the run: measured in a
process of its own with getrusage."""

import os
import subprocess
import sys

import pytest

from conftest import SANITIZED

MEASURE = """
import resource, sys, sheetgen
run = sheetgen.Run(length=20000, width=20000, instances=int(sys.argv[1]), item_types=20000,
                   lower=0.001, upper=0.1, seed=1, defects=[(100, 100)] * 1000)
instances = iter(run)
next(instances)
start = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
count = 1 + sum(1 for _ in instances)
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(count, start, peak)
"""


@pytest.mark.skipif(SANITIZED, reason="AddressSanitizer holds freed memory in quarantine")
@pytest.mark.parametrize("instances", [
    1000,
    pytest.param(20000, marks=pytest.mark.slow),  # 400 million items
])
def test_iterating_a_run_holds_one_instance(instances):
    out = subprocess.run([sys.executable, "-c", MEASURE, str(instances)], check=True,
                         capture_output=True, text=True, env=os.environ).stdout
    count, start_kib, peak_kib = map(int, out.split())
    assert count == instances
    assert peak_kib - start_kib < 4 * 1024  # each instance's arrays are 240 KiB
    assert peak_kib < 64 * 1024
