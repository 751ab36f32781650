#!/usr/bin/env bash
# One version everywhere a user or a paper reads it: CMake's project
# version, both programs, the Python package (the built module and the
# metadata pip installs), CITATION.cff and the changelog's latest release,
# whose date must be the citation's too.
# Usage: version_agreement.sh SOURCE_DIR CMAKE_VERSION SHEETGEN SHEETKIT [PYTHON PACKAGE_DIR]
set -euo pipefail
source_dir=$1 expected=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# same WHERE VALUE: VALUE must be the CMake version.
same() {
  if [ "$2" = "$expected" ]; then
    echo "$1: $2"
  else
    fail "$1 says '${2}', CMake says $expected"
  fi
}

[[ $expected =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "CMake's version '$expected' is not MAJOR.MINOR.PATCH"
same "sheetgen --version" "$("$3" --version </dev/null | sed -n 's/^sheetgen //p')"
same "sheetkit --version" "$("$4" --version </dev/null | sed -n 's/^sheetkit //p')"
same "sheetkit version" "$("$4" version </dev/null | sed -n 's/^sheetkit //p')"

cff=$source_dir/CITATION.cff
same "CITATION.cff version" "$(sed -n 's/^version: *"\{0,1\}\([^"]*\)"\{0,1\} *$/\1/p' "$cff")"
grep -qx 'cff-version: 1\.2\.0' "$cff" || fail "CITATION.cff is not Citation File Format 1.2.0"
grep -qx 'license: MIT' "$cff" || fail "CITATION.cff names no MIT licence"
grep -q '^Copyright (c) .* The sheetgen developers$' "$source_dir/LICENSE" ||
  fail "LICENSE names no holder 'The sheetgen developers'"

# The first release heading after Unreleased: "## [X.Y.Z] - YYYY-MM-DD".
release=$(grep -m1 -E '^## \[[0-9]+\.[0-9]+\.[0-9]+\] - ' "$source_dir/CHANGELOG.md" || true)
same "CHANGELOG.md latest release" "$(sed -E 's/^## \[([^]]*)\].*/\1/' <<<"$release")"
first=$(grep -m1 '^## ' "$source_dir/CHANGELOG.md")
[ "$first" = "## [Unreleased]" ] || fail "CHANGELOG.md does not begin with Unreleased but '$first'"
released=$(sed -E 's/^## \[[^]]*\] - ([0-9-]+).*/\1/' <<<"$release")
cited=$(sed -n 's/^date-released: *"\{0,1\}\([0-9-]*\)"\{0,1\} *$/\1/p' "$cff")
[ "$released" = "$cited" ] ||
  fail "CHANGELOG.md dates $expected $released, CITATION.cff $cited"

if [ $# -ge 6 ]; then
  python=$5 package=$6
  same "the Python module" "$(PYTHONPATH=$package "$python" -c 'import sheetgen; print(sheetgen.__version__)')"
  # What pip writes into the package's metadata, computed as pip's build does.
  same "the Python package's metadata" \
    "$(cd "$source_dir/python" && "$python" -W ignore setup.py --version 2>/dev/null | tail -1)"
fi
[ "$failures" = 0 ] || exit 1
echo "one version everywhere: $expected"
