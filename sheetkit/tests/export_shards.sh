#!/usr/bin/env bash
# sheetkit suite export as a job array runs it: four shards started at once
# into one OUT, again and again, must leave exactly what one export leaves;
# and an export killed at any point, even before it has named its suite in
# OUT, is resumed by the next. Usage: export_shards.sh SHEETKIT
set -uo pipefail
# shellcheck source=script_checks.sh
source "$(dirname "$(realpath "$0")")/script_checks.sh"
sheetkit=$(realpath "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# Many small sets, so that the shards' sets interleave in every class folder.
cat >suite.json <<'JSON'
{"suite": "shard-test",
 "classes": [
   {"name": "a", "length": 10, "width": 10, "instances": 3, "item_types": 4,
    "lower": "0.1", "upper": "0.2", "defects": [[3, 2]], "seeds": {"first": 1, "count": 24}},
   {"name": "b", "length": 12, "width": 8, "instances": 2, "item_types": 3,
    "lower": "0.1", "upper": "0.3", "seeds": {"first": 1, "count": 24}}]}
JSON
"$sheetkit" suite make suite.json -o suite -j 2 >/dev/null
"$sheetkit" suite export suite --to packingsolver -o ref >/dev/null
check "one export" [ -f ref/suite.sha256 ]

for round in 1 2 3 4 5 6; do
  rm -rf out
  pids=()
  for k in 1 2 3 4; do
    "$sheetkit" suite export suite --to packingsolver -o out --shard "$k/4" >"shard$k.txt" 2>&1 &
    pids+=($!)
  done
  status=0
  for p in "${pids[@]}"; do wait "$p" || status=1; done
  check "round $round: four shards at once end well" [ "$status" = 0 ]
  [ "$status" = 0 ] || cat shard*.txt
  check "round $round: what they left is one export's" diff -r ref out
done

# A set recorded only when complete: a later whole export keeps the sets
# and finds nothing to add.
"$sheetkit" suite export suite --to packingsolver -o out >whole.txt
check "a whole export after the shards keeps every set" \
  grep -qE "^shard-test: 0 sets exported to packingsolver, [0-9]+ kept from before$" whole.txt

# Killed before suite.sha256 is in place: its temporary (and a lock) is all
# that is left, and the next export resumes.
rm -rf out
mkdir out
sha=$(cat ref/suite.sha256)
printf '%s\n' "$sha" >out/suite.sha256.tmp-deadbeef
: >out/.export.lock
"$sheetkit" suite export suite --to packingsolver -o out >resumed.txt 2>&1
check "an export killed before naming its suite is resumed" [ $? = 0 ]
check "... and ends as one export" diff -r ref out

# Killed at moments along the way, then exported again.
for delay in 0.01 0.05 0.1 0.2; do
  rm -rf out
  "$sheetkit" suite export suite --to packingsolver -o out -j 2 >/dev/null 2>&1 &
  sleep "$delay"
  kill -KILL $! 2>/dev/null
  wait $! 2>/dev/null
  "$sheetkit" suite export suite --to packingsolver -o out >/dev/null
  check "killed after ${delay}s, exported again" diff -r ref out
done

# A class folder in OUT that is a link is refused: nothing lands where it points.
rm -rf out
mkdir out
cp ref/suite.sha256 out/
ln -s "$dir/suite/a" out/a
before=$(find suite | sort | md5sum)
"$sheetkit" suite export suite --to packingsolver -o out >link.txt 2>&1
status=$?
check "a linked class folder is refused" [ "$status" = 2 ]
check "... naming it" grep -q "out/a is a link" link.txt
check "... and the suite is untouched" [ "$(find suite | sort | md5sum)" = "$before" ]

# A set damaged since it was exported: export refuses to keep it and says
# what works; done so, the export is whole again.
rm -rf out
"$sheetkit" suite export suite --to packingsolver -o out >/dev/null
set=$(find out/a -mindepth 1 -maxdepth 1 -name 's*' | sort | head -1)
rm "$set/instance_2/items.csv"
"$sheetkit" suite results suite out >results.txt 2>&1
check "results names the damaged set" grep -qF "remove $set (with what solvers wrote there)" results.txt
"$sheetkit" suite export suite --to packingsolver -o out >damaged.txt 2>&1
check "export refuses to keep it" [ $? = 2 ]
check "... and says what to do" grep -qF "$set: the set is damaged (instance_2/items.csv is missing, or no plain file); remove $set" damaged.txt
rm -rf "$set"
"$sheetkit" suite export suite --to packingsolver -o out >/dev/null
check "done so, the export is one export's" diff -r ref out

[ "$failures" = 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" = 0 ]
