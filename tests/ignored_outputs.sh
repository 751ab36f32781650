#!/usr/bin/env bash
# README's first command runs sheetgen in the source folder: every file a
# run with the names the dialogue suggests writes there must be one that
# git ignores, so that it is never committed by mistake.
# Usage: ignored_outputs.sh SOURCE_DIR SHEETGEN ANSWERS_FILE
set -euo pipefail
source_dir=$(realpath "$1")
sheetgen=$(realpath "$2")
answers=$(realpath "$3")
if ! command -v git >/dev/null || ! git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
  echo "SKIPPED: $source_dir is no git checkout"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$sheetgen" <"$answers" >/dev/null)
written=$(cd "$work" && ls -A)
[ -n "$written" ] || { echo "FAIL: the run wrote nothing" >&2; exit 1; }
for file in $written; do
  git -C "$source_dir" check-ignore -q --no-index -- "$file" ||
    { echo "FAIL: .gitignore does not list $file, which sheetgen writes" >&2; exit 1; }
done
echo "ignored by git: $written"
