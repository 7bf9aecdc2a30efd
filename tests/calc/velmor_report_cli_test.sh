#!/usr/bin/env bash
# velmor-report as a script uses it: output, exit codes, and what a fault leaves on each stream.
set -u
tool=${VELMOR_REPORT:?set VELMOR_REPORT to the velmor-report binary}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

check() {  # check NAME CONDITION...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $name"
    failures=$((failures + 1))
  fi
}

run() {  # run ARGS... ; sets rc, out, err
  LC_ALL=C.UTF-8 "$tool" "$@" >"$work/out" 2>"$work/err"
  rc=$?
}

run
check "default report" cmp -s "$work/out" "$here/default_report.txt"
check "default exit code" test "$rc" -eq 0
check "default stderr empty" test ! -s "$work/err"

# Beta = -1: the heading and 13 lines of the first block, then the message.
run 10E3 1E3 10E3 100 47 100 3 -1
check "fault exit code" test "$rc" -eq 1
check "fault keeps 14 lines" cmp -s "$work/out" <(head -n 14 "$here/default_report.txt")
check "fault message" test "$(cat "$work/err")" = "Floating point division by zero"

# A fault before the report is cleared leaves nothing on standard output.
run 10E3 1E3 10E3 100 abc 100 3 50
check "conversion exit code" test "$rc" -eq 1
check "conversion prints no lines" test ! -s "$work/out"
check "conversion message" test "$(cat "$work/err")" = "'abc' is not a valid floating point value"

# Arguments that begin with "-" are values, not options.
run 10E3 -1E3 10E3 100 47 100 -3 50
check "negative values accepted" test "$rc" -eq 0
check "negative values give 29 lines" test "$(wc -l <"$work/out")" -eq 29

for args in "1 2 3" "1 2 3 4 5 6 7 8 9"; do
  # shellcheck disable=SC2086
  run $args
  check "usage exit code for ${args// /,}" test "$rc" -eq 2
  check "usage message for ${args// /,}" grep -q '^usage:' "$work/err"
  check "usage prints no report for ${args// /,}" test ! -s "$work/out"
done

# The decimal separator follows the numeric locale, when such a locale is installed.
if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  LC_ALL=de_DE.UTF-8 "$tool" 10E3 1E3 10E3 100 47 100 1,5 50 >"$work/out" 2>"$work/err"
  check "comma locale" grep -qx '基极静态电位VB=0,75V' "$work/out"
else
  echo "note: no de_DE.UTF-8 locale installed; the comma locale case was not run"
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
