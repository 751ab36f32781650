#!/usr/bin/env bash
# Runs BINARY on ANSWERS under memcheck in a scratch folder; fails on any
# memory error or leak. Exit statuses 0 and 1 are the program's own.
set -euo pipefail
valgrind=$1
bin=$(realpath "$2")
answers=$(realpath "$3")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
status=0
"$valgrind" --quiet --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
  "$bin" <"$answers" >/dev/null || status=$?
echo "exit status $status"
[ "$status" -eq 0 ] || [ "$status" -eq 1 ]
