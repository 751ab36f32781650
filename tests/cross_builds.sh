#!/usr/bin/env bash
# Proves that other platforms write the recorded bytes: a 32-bit x86 build
# (run by qemu-i386), a big-endian s390x build (qemu-s390x) and a Windows
# build (MinGW-w64, run by Wine) each run every stored answers file. Also
# proves that a build computing in x87 extended precision does not compile.
# Needs i686-linux-gnu-g++, s390x-linux-gnu-g++, x86_64-w64-mingw32-g++-posix,
# qemu-i386, qemu-s390x and wine.
# Usage: tests/cross_builds.sh [WORK_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(realpath -m "${1:-$root/build-cross}")
record=$root/tests/data/outcomes.txt
mkdir -p "$work"

build() {  # FOLDER CMAKE_ARGUMENTS...
  local folder=$1
  shift
  cmake -S "$root" -B "$folder" -DCMAKE_BUILD_TYPE=Release -DSHEETGEN_TESTS=OFF \
    -DSHEETGEN_BENCH=OFF "$@" >"$folder.configure.log" ||
    { cat "$folder.configure.log"; return 1; }
  cmake --build "$folder" --target sheetgen family_outcomes --parallel 2 >/dev/null
}

compare() {  # BINARY LAUNCHER...
  local bin=$1
  shift
  SHEETGEN_LAUNCHER="$*" bash "$root/tests/outcomes.sh" "$bin" --compare "$record"
  # The families, made by the program beside it.
  local families
  families=$(dirname "$bin")/family_outcomes${bin##*sheetgen}
  SHEETGEN_LAUNCHER="$*" bash "$root/tests/family_outcomes.sh" "$families" --compare \
    "$root/tests/data/family_outcomes.txt"
}

echo "== x87 extended precision is refused"
refusal=$(printf '#include "exact_float.h"\n' |
  i686-linux-gnu-g++ -std=c++20 -mfpmath=387 -fsyntax-only -I "$root/src" -x c++ - 2>&1) && {
  echo "i686-linux-gnu-g++ -mfpmath=387 compiled src/exact_float.h; it must refuse" >&2
  exit 1
}
grep -qF "evaluates float and double in excess precision" <<<"$refusal" || {
  echo "the x87 build failed, but not with sheetgen's message:" >&2
  echo "$refusal" >&2
  exit 1
}
echo "refused with sheetgen's message"

# Only the compiler is named: CMake must see for itself that it targets
# 32-bit x86 and ask for SSE2 arithmetic. Linked statically: qemu-i386
# (7.2) hangs in pthread_create in a dynamically linked program, and the
# files are written on a second thread.
echo "== 32-bit x86 (i686-linux-gnu-g++, run by qemu-i386)"
start=$SECONDS
build "$work/i686" -DCMAKE_CXX_COMPILER=i686-linux-gnu-g++ -DCMAKE_EXE_LINKER_FLAGS=-static
compare "$work/i686/sheetgen" qemu-i386 -L /usr/i686-linux-gnu
echo "($((SECONDS - start)) s)"

echo "== big-endian s390x (s390x-linux-gnu-g++, run by qemu-s390x)"
start=$SECONDS
build "$work/s390x" -DCMAKE_CXX_COMPILER=s390x-linux-gnu-g++
compare "$work/s390x/sheetgen" qemu-s390x -L /usr/s390x-linux-gnu
echo "($((SECONDS - start)) s)"

echo "== 64-bit Windows (MinGW-w64, run by Wine)"
start=$SECONDS
build "$work/mingw" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
# A prefix of its own, so no one's Wine settings take part; without the
# .NET and HTML engines, which a console program never needs and whose
# installers would otherwise be offered on the first start.
export WINEPREFIX=$work/mingw/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true' EXIT
wine_start=$SECONDS
wineboot --init >"$work/mingw/wineboot.log" 2>&1 || { cat "$work/mingw/wineboot.log"; exit 1; }
echo "Wine prefix ready ($((SECONDS - wine_start)) s)"
compare "$work/mingw/sheetgen.exe" wine
echo "($((SECONDS - start)) s)"
