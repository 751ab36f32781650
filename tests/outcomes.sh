#!/usr/bin/env bash
# Runs BINARY on every stored answers file and prints one line per run: the
# exit status and a checksum of the console text and of every file written.
# With --compare FILE, fails unless the lines equal those recorded in FILE.
# SHEETGEN_LAUNCHER, when set, is the command that runs BINARY, split at
# spaces: "wine" or "qemu-i386 -L /usr/i686-linux-gnu" for a cross build.
set -euo pipefail
bin=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
read -ra launcher <<<"${SHEETGEN_LAUNCHER:-}"

outcomes() {
  for answers in "$root"/examples/*.txt "$root"/tests/data/*.answers; do
    dir=$(mktemp -d)
    status=0
    # The console's line ends are the platform's (CR LF on Windows); only
    # the files written must be the same bytes everywhere. With pipefail
    # the status is still the program's.
    (cd "$dir" && "${launcher[@]}" "$bin" <"$answers" | tr -d '\r' >console.out) || status=$?
    printf '%s status %s' "$(basename "$answers")" "$status"
    for f in $(cd "$dir" && ls); do
      printf ' %s %s' "$f" "$(sha256sum <"$dir/$f" | cut -c1-16)"
    done
    echo
    rm -rf "$dir"
  done
}

if [ "${2:-}" = --compare ]; then
  diff -u "$3" <(outcomes) && echo "same bytes as recorded in $3"
else
  outcomes
fi
