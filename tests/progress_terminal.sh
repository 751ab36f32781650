#!/usr/bin/env bash
# The progress line as a user at a terminal sees it, with the answers piped
# from a file: sheetgen runs under script(1), which gives it a terminal for
# standard output and standard error, and the screen is rebuilt from what
# it wrote. The prompts must stay intact (the cursor is still after the last
# one when the run starts), the line must name its pass, show done / total
# with a percentage, the rate and the time left, and be gone at the end.
# Usage: progress_terminal.sh SHEETGEN_BINARY
set -euo pipefail
bin=$(realpath "$1")
command -v script >/dev/null || { echo "skipping: script(1) is not installed"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The screen: each line as it stands after every carriage return has sent
# the cursor back to its start (a line is not wider than the terminal here).
screen() {
  awk 'BEGIN { RS = "\n" }
       { n = split($0, parts, "\r"); s = ""
         for (i = 1; i <= n; ++i) s = parts[i] substr(s, length(parts[i]) + 1)
         sub(/ +$/, "", s); print s }' "$1"
}

# The line waits a second, so the run must take longer: larger runs until
# it shows before the last instance, with the time left (the largest run
# takes seconds, written to /dev/null).
shown=false
for instances in 2000 8000 20000; do
  printf '%s\n20000\n20000\n20000\n0.001\n0.1\n0\n/dev/null\n1\n' "$instances" >answers.txt
  script -q -e -c "\"$bin\" <answers.txt" typescript >/dev/null </dev/null
  if grep -q 'items/s, .* left' typescript; then
    shown=true
    break
  fi
done
$shown || { echo "no progress line with the time left, even for 20000 x 20000 items" >&2; exit 1; }

fail() {
  echo "$1; the terminal showed:" >&2
  screen typescript >&2
  exit 1
}
pattern="items: [0-9]+ / $instances instances \([0-9]+%\), [0-9.]+( million)? items/s, [0-9]+:[0-9]{2} left"
grep -aEq "$pattern" typescript || fail "no line like \"$pattern\""
screen typescript | grep -q '^How many instances do you want to generate? .*Enter an integer seed (e.g. 12):$' ||
  fail "the prompts are not intact"
! screen typescript | grep -q 'items: ' || fail "the progress line was not cleared"
screen typescript | grep -qx 'Program run finished. Enter a number to quit!' ||
  fail "no closing prompt"
echo "progress line on its own line, $instances instances, cleared at the end"
