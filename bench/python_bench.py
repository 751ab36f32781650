#!/usr/bin/env python3
"""How fast the Python package generates and reads, against the C++ library
it wraps, on the reference case: 200 instances of 20000 item types, a
20000 x 20000 object, bounds 0.001 and 0.1, seed 1.

Usage: python_bench.py LIBRARY_RATES [--smoke]
  LIBRARY_RATES  the built bench/library_rates, which measures the C++ side
  --smoke        everything once on a tiny run (CI); its figures mean nothing

Run with the package on the path: PYTHONPATH=build/python. The target is at
least half the library's rate for each; the exit status is 1 below it.
"""

import os
import subprocess
import sys
import tempfile
import time

import sheetgen


def best_of_three(work):
    best = float("inf")
    for _ in range(3):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def count(pairs):
    return sum(len(items) for items, _ in pairs)


def main():
    args = sys.argv[1:]
    smoke = "--smoke" in args
    args = [a for a in args if a != "--smoke"]
    if len(args) != 1:
        sys.exit(__doc__)
    instances, item_types = (2, 100) if smoke else (200, 20000)
    run = sheetgen.Run(length=20000, width=20000, instances=instances, item_types=item_types,
                       lower=0.001, upper=0.1, seed=1)
    with tempfile.TemporaryDirectory() as folder:
        file = os.path.join(folder, "instances.txt")
        run.write(file)
        out = subprocess.run([args[0], str(instances), str(item_types), file], check=True,
                             capture_output=True, text=True).stdout.split()
        cpp = {"generate": (int(out[1]), float(out[2])), "read": (int(out[4]), float(out[5]))}
        items = instances * item_types
        python = {"generate": (items, best_of_three(lambda: count(iter(run)))),
                  "read": (items, best_of_three(lambda: count(sheetgen.read(file))))}

    print(f"reference case{' (smoke: tiny run)' if smoke else ''}: "
          f"{instances} x {item_types} item types")
    slow = False
    for what, unit in (("generate", "items"), ("read", "lines")):
        (n, cpp_s), (m, py_s) = cpp[what], python[what]
        assert n == m, (what, n, m)
        share = cpp_s / py_s
        slow |= share < 0.5
        print(f"  {what:<9} C++ library {n / cpp_s / 1e6:7.1f} M {unit}/s   "
              f"Python {m / py_s / 1e6:7.1f} M {unit}/s   = {share:.0%} (target: at least 50%)")
    sys.exit(1 if slow and not smoke else 0)


if __name__ == "__main__":
    main()
