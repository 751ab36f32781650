#!/usr/bin/env bash
# sheetgen's command line: --help and --version answer without reading
# standard input; any other argument is noted on standard error and the run
# is the one it would be without it, to the byte.
# Usage: sheetgen_arguments.sh SHEETGEN_BINARY ANSWERS_FILE
set -euo pipefail
bin=$(realpath "$1")
answers=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

for flag in --help --version; do
  # Standard input a terminal would leave open: nothing may be read from it.
  status=0
  "$bin" "$flag" <"$answers" >out.txt 2>err.txt || status=$?
  [ "$status" = 0 ] || fail "$flag: status $status"
  [ ! -s err.txt ] || fail "$flag: wrote on standard error: $(cat err.txt)"
  [ -z "$(ls | grep -v -e out.txt -e err.txt)" ] || fail "$flag: ran the dialogue"
done
"$bin" --version | grep -qx 'sheetgen [0-9]*\.[0-9]*\.[0-9]*' || fail "--version: $("$bin" --version)"
"$bin" --help | grep -q 'sheetgen < ' || fail "--help does not say how answers are given"

mkdir plain given
(cd plain && "$bin" <"$answers" >console.out)
(cd given && "$bin" "$answers" <"$answers" >console.out 2>../err.txt)
diff -r plain given >/dev/null || fail "an ignored argument changed the run: $(diff -r plain given | head -5)"
[ "$(wc -l <err.txt)" = 1 ] || fail "not one line on standard error: $(cat err.txt)"
grep -q 'ignored' err.txt && grep -q 'sheetgen < ' err.txt || fail "the note says: $(cat err.txt)"

# A failure's message stays on standard output as it always was; one line on
# standard error adds what it cannot say.
sed 's|^instances.txt$|nodir/instances.txt|' "$answers" >nodir.txt
status=0
(cd plain && "$bin" <../nodir.txt >nodir.out 2>nodir.err) || status=$?
[ "$status" = 1 ] || fail "an unwritable instance file: status $status"
[ "$(tail -c 38 plain/nodir.out)" = "Cannot write file nodir/instances.txt!" ] ||
  fail "the console ends otherwise: $(tail -c 80 plain/nodir.out)"
[ "$(cat plain/nodir.err)" = "sheetgen: nodir/instances.txt: cannot be written: No such file or directory" ] ||
  fail "standard error says: $(cat plain/nodir.err)"
printf 'x\n' >bad.txt
(cd plain && "$bin" <../bad.txt >bad.out 2>bad.err) || true
[ "$(cat plain/bad.err)" = "sheetgen: standard input:1: the number of instances: Input is not a valid number!" ] ||
  fail "a bad answer: standard error says: $(cat plain/bad.err)"
echo "sheetgen's arguments and reasons: as documented"
