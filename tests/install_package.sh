#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds the example consumer
# in examples/library against it, as a user of the package would.
# Usage: install_package.sh BUILD_DIR CXX_COMPILER
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/sheetgen include/sheetgen/generator.h include/sheetgen/version.h \
    include/sheetgen/run_passes.h share/doc/sheetgen/README.md \
    share/doc/sheetgen/examples/worked_example.txt; do
  [ -e "$work/prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
cmake -S "$root/examples/library" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_COMPILER="$2" >/dev/null
cmake --build "$work/consumer" >/dev/null
expected='instance 1: item area 61
instance 2: item area 60
instance 1: defect at 7,0
instance 1: defect at 0,6
instance 2: defect at 1,0
instance 2: defect at 0,4'
actual=$("$work/consumer/total_area")
if [ "$actual" != "$expected" ]; then
  echo "the consumer printed:"; echo "$actual"; exit 1
fi
echo "installed package builds and runs the example consumer"
