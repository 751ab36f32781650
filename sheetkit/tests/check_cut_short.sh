#!/usr/bin/env bash
# sheetkit check on a file that is cut short while check reads it (mapped,
# as SHEETGEN_READ=map chooses),
# as a user may do it from another shell: status 1 and the file named as
# changed, never a signal. A cut before check maps the file is an ordinary
# cut file, one after it finished changes nothing: both are allowed, but
# some cuts must land while it reads.
# Usage: check_cut_short.sh SHEETKIT
set -uo pipefail
export SHEETGEN_READ=map
sheetkit=$(realpath "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

awk 'BEGIN { for (b = 0; b < 150; b++) { for (i = 0; i < 20000; i++) print "1.000000\t1.000000\t1.000000"; print "" } }' >whole.txt
size=$(stat -c %s whole.txt)
failures=0
during=0
# Cuts spread over the time a whole check takes in this build (a sanitizer
# build starts and reads several times slower), so that some land while
# it reads whatever the build and the machine's load.
start=$(date +%s.%N)
"$sheetkit" check --object 10x10 whole.txt >/dev/null
took=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { print e - s }')
delays=$(awk -v t="$took" 'BEGIN { n = split("0 0.05 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.15 0.25 0.35 0.45", f, " ");
  for (k = 1; k <= n; k++) printf "%.3f ", f[k] * t }')
for delay in $delays; do
  cp whole.txt i.txt
  cat i.txt >/dev/null  # in the page cache, as a file just written is
  "$sheetkit" check --object 10x10 i.txt >out.txt 2>&1 &
  sleep "$delay"
  truncate -s $((size / 3 + 7)) i.txt  # inside a line
  wait $!
  status=$?
  if [ "$status" = 1 ] && grep -qx "i.txt changed while it was being read" out.txt; then
    during=$((during + 1))
    echo "ok   cut after ${delay}s: i.txt changed while it was being read"
  elif [ "$status" = 1 ] && grep -q "cut short" out.txt; then
    echo "ok   cut after ${delay}s: before check mapped it"
  elif [ "$status" = 0 ]; then
    echo "ok   cut after ${delay}s: after check had read it all"
  else
    echo "FAIL cut after ${delay}s: status $status"
    cat out.txt
    failures=$((failures + 1))
  fi
done
if [ "$during" = 0 ]; then
  echo "FAIL no cut landed while check read the file"
  failures=$((failures + 1))
fi
exit $((failures > 0))
