#!/usr/bin/env bash
# Builds sheetgen with g++ and clang++, each at -O0 and at -O3 -march=native,
# and checks that every build writes exactly the recorded bytes, the
# families' included.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
compilers=()
for cxx in g++ clang++; do
  if command -v "$cxx" >/dev/null; then
    compilers+=("$cxx")
  elif [ "${CI:-}" = true ]; then
    echo "$cxx is missing; CI checks both compilers" >&2
    exit 1
  else
    echo "skipping $cxx: not installed"
  fi
done
for cxx in "${compilers[@]}"; do
  for opt in "-O0" "-O3 -march=native"; do
    build="$work/$cxx${opt// /}"
    echo "== $cxx $opt"
    cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=None \
      -DCMAKE_CXX_FLAGS="$opt" -DSHEETGEN_TESTS=OFF -DSHEETGEN_BENCH=OFF >/dev/null
    cmake --build "$build" --target sheetgen family_outcomes -j2 >/dev/null
    bash "$root/tests/outcomes.sh" "$build/sheetgen" --compare "$root/tests/data/outcomes.txt"
    bash "$root/tests/family_outcomes.sh" "$build/family_outcomes" --compare \
      "$root/tests/data/family_outcomes.txt"
  done
done
