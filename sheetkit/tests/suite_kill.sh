#!/usr/bin/env bash
# sheetkit suite make as only a real process shows it: killed at any moment
# and made again, out of room for a file, and each set's answers.txt piped
# into the built sheetgen. Every end must be byte-identical to one make.
# Usage: suite_kill.sh SHEETKIT SHEETGEN
set -uo pipefail
# shellcheck source=script_checks.sh
source "$(dirname "$(realpath "$0")")/script_checks.sh"
sheetkit=$(realpath "$1")
sheetgen=$(realpath "$2")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# Large sets to be killed inside, many small ones to be killed between,
# and a class whose seeds depend on which runs abort.
cat >suite.json <<'EOF'
{"suite": "kill-test",
 "classes": [
   {"name": "large", "length": 20000, "width": 20000, "instances": 40, "item_types": 2000,
    "lower": "0.001", "upper": "0.1", "defects": [[10, 20]], "seeds": {"first": 1, "count": 6}},
   {"name": "small", "length": 10, "width": 10, "instances": 2, "item_types": 4,
    "lower": "0.1", "upper": "0.2", "defects": [[3, 2], [10, 1]],
    "seeds": {"first": 1, "count": 400}},
   {"name": "tight", "length": 10, "width": 10, "instances": 30, "item_types": 20,
    "lower": "0.1", "upper": "0.2", "complete": true, "seeds": {"first": 1, "count": 2}}]}
EOF
"$sheetkit" suite make suite.json -o ref -j 2 >/dev/null
check "one make" [ -f ref/manifest.tsv ]

# Killed once at each delay, then made again.
for delay in 0.02 0.1 0.2 0.3 0.45; do
  rm -rf killed
  "$sheetkit" suite make suite.json -o killed -j 2 >/dev/null 2>&1 &
  sleep "$delay"
  kill -KILL $! 2>/dev/null
  wait $! 2>/dev/null
  # What the kill left: sets, temporaries, a manifest.
  left="$(find killed -mindepth 2 -maxdepth 2 -name 's*' | wc -l) sets, $(find killed -name '*.tmp-*' | wc -l) temporaries"
  [ -e killed/manifest.tsv ] && left="$left, the manifest"
  "$sheetkit" suite make suite.json -o killed -j 2 >/dev/null
  check "killed after ${delay}s ($left), made again" diff -r ref killed
done
# Killed again and again in one folder.
rm -rf killed
for delay in 0.05 0.1 0.15; do
  "$sheetkit" suite make suite.json -o killed -j 1 >/dev/null 2>&1 &
  sleep "$delay"
  kill -KILL $! 2>/dev/null
  wait $! 2>/dev/null
done
"$sheetkit" suite make suite.json -o killed >/dev/null
check "killed three times in one folder, made again" diff -r ref killed
check "verify finds it identical" quietly "$sheetkit" suite verify killed -j 2

# A set's answers, piped into sheetgen in its folder, write its files again.
for set in large/s1 small/s1 small/s2 tight/s68; do
  mkdir -p "again/$set"
  cp "ref/$set/answers.txt" "again/$set/"
  (cd "again/$set" && "$sheetgen" <answers.txt >/dev/null)
  check "sheetgen < $set/answers.txt" diff -r -x .done "ref/$set" "again/$set"
done

# No room for a large file: status 1, the file named, no set half-written
# in its place, no manifest; with room again the make completes.
rm -rf full
(trap '' XFSZ; ulimit -f 1000; "$sheetkit" suite make suite.json -o full -j 2 >/dev/null 2>err.txt)
status=$?
check "out of room: status 1" [ "$status" -eq 1 ]
check "out of room: the file named" grep -q "full/large/s[0-9]*: Cannot write file instances.txt!" err.txt
check "out of room: no manifest" [ ! -e full/manifest.tsv ]
half=$(find full -mindepth 2 -maxdepth 2 -name 's*' -type d '!' -exec test -e '{}/.done' ';' -print)
check "out of room: no set half-written" [ -z "$half" ]
"$sheetkit" suite make suite.json -o full >/dev/null
check "out of room, then made again" diff -r ref full

# Ctrl-C: the signal's status, one line that says what is left and who
# cleans it, and the next make completes.
# (Job control on: a script's background job would ignore SIGINT.)
rm -rf stopped
set -m
"$sheetkit" suite make suite.json -o stopped -j 2 >/dev/null 2>err.txt &
sleep 0.3
kill -INT $! 2>/dev/null
wait $!
status=$?
set +m
check "Ctrl-C: the signal's status" [ "$status" -eq 130 ]
check "Ctrl-C: one line says the next make cleans up" \
  grep -qx 'sheetkit: suite make: interrupted; the sets made so far are kept, and the next suite make in stopped removes what this one left (its lock and temporary folders)' err.txt
"$sheetkit" suite make suite.json -o stopped >/dev/null
check "Ctrl-C, then made again" diff -r ref stopped

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
