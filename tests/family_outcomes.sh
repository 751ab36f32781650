#!/usr/bin/env bash
# The families' recorded outcomes: every run of tests/data/family_cases.txt
# made by BINARY (build/family_outcomes) must give the digests recorded in
# tests/data/family_outcomes.txt, on every compiler, processor and system.
#
# usage: family_outcomes.sh BINARY --compare RECORD | --record RECORD
# SHEETGEN_LAUNCHER runs the binary under an emulator ("qemu-s390x -L ...", "wine").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
binary=$1 mode=$2 record=$3
cases=$root/tests/data/family_cases.txt
# Wine prints CR LF; the digests are the same.
made=$(${SHEETGEN_LAUNCHER:-} "$binary" "$cases" | tr -d '\r')
case $mode in
  --record) printf '%s\n' "$made" >"$record" ;;
  --compare)
    if ! diff <(printf '%s\n' "$made") "$record"; then
      echo "family runs differ from $record (< made here, > recorded)" >&2
      exit 1
    fi
    echo "$(wc -l <"$record") family runs as recorded" ;;
  *) echo "usage: family_outcomes.sh BINARY --compare RECORD | --record RECORD" >&2; exit 2 ;;
esac
