#!/usr/bin/env bash
# The built program on standard inputs that in-process tests cannot make:
# a folder, a closed descriptor, endless bytes; and on too little memory.
# Usage: hostile_stdin.sh BINARY [--no-memory-limits]
set -uo pipefail
bin=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
failures=0

# expect NAME STATUS TAIL: the last run's status and the end of its console.
expect() {
  if [ "$status" -ne "$2" ] || [ "$(tail -c ${#3} console.out)" != "$3" ]; then
    echo "FAIL $1: status $status, console ends: $(tail -c 60 console.out)"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

not_number="to generate? Input is not a valid number!"
timeout 2 "$bin" </tmp >console.out; status=$?
expect "standard input is a folder" 1 "$not_number"
timeout 2 "$bin" <&- >console.out; status=$?
expect "standard input is closed" 1 "$not_number"
timeout 2 "$bin" </dev/zero >console.out; status=$?
expect "endless NUL bytes" 1 "$not_number"
yes 7 | tr -d '\n' | timeout 2 "$bin" >console.out; status=$?
expect "one endless word" 1 "$not_number"
head -n 12 "$root/examples/worked_example.txt" | timeout 2 "$bin" >console.out; status=$?
expect "input ends at the closing prompt" 0 "Enter a number to quit! "

if [ "${2:-}" != --no-memory-limits ]; then
  (ulimit -v 10000; "$bin" <"$root/examples/worked_example.txt" >console.out); status=$?
  expect "worked example in 10000 KiB" 0 "Enter a number to quit! "
  # Too little address space for the writing thread's stack as well: the
  # run writes in turn with generating, and a write error keeps what was
  # written before it (SIGXFSZ ignored, so that the write fails instead).
  printf '30\n20000\n20000\n20000\n0.001\n0.1\n0\nbig.txt\n1\n0\n' >big.answers
  "$bin" <big.answers >/dev/null
  mv big.txt full.txt
  (ulimit -v 10000; ulimit -f 4000; trap '' XFSZ; "$bin" <big.answers >console.out); status=$?
  expect "write error in 10000 KiB" 1 "Cannot write file big.txt!"
  if [ "$(stat -c %s big.txt)" -ne 4096000 ] || ! cmp -s -n 4096000 big.txt full.txt; then
    echo "FAIL write error in 10000 KiB: big.txt is not the first 4096000 bytes of the run"
    failures=$((failures + 1))
  fi
  rm -f big.txt full.txt
  # Below that the run may fail, but only with a message (status 1), or
  # the loader refuses to start it at all (127).
  for kib in $(seq 4000 250 9750); do
    (ulimit -v "$kib"; "$bin" <"$root/examples/worked_example.txt" >console.out 2>/dev/null); status=$?
    if [ "$status" -eq 1 ]; then
      expect "$kib KiB" 1 "Not enough memory!"
    elif [ "$status" -ne 0 ] && [ "$status" -ne 127 ]; then
      echo "FAIL $kib KiB: status $status"
      failures=$((failures + 1))
    fi
  done
fi
[ "$failures" -eq 0 ]
