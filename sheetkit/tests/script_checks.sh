# The checks that the scripted tests share: a line per check and a count
# of failures, and a command whose output is shown only when it fails.
# Sourced; the script keeps `failures` and ends with its own verdict.
failures=0

check() {  # NAME CONDITION...: a line per check, a count of failures
  local name=$1
  shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

quietly() {  # COMMAND...: its output shown only when it fails
  "$@" >quiet.txt 2>&1 || { cat quiet.txt; return 1; }
}
