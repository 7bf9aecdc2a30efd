#!/usr/bin/env bash
# velmor-report as a script uses it: arguments, exit codes, what goes to each stream, and the
# decimal separator from the numeric locale.
set -u
tool=${VELMOR_REPORT:?set VELMOR_REPORT to the velmor-report binary}
report=$(cd "$(dirname "$0")" && pwd)/default_report.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# expect RC OUT ERR LOCALE ARGS...: exit code RC, stdout the same as the file OUT, and all of
# stderr matching the extended regular expression ERR.
expect() {
  LC_ALL=$4 "$tool" "${@:5}" >"$work/out" 2>"$work/err"
  local rc=$?
  if [ "$rc" -ne "$1" ] || ! cmp -s "$work/out" "$2" || ! [[ $(<"$work/err") =~ ^$3$ ]]; then
    echo "FAIL: ${*:4} (exit $rc)"
    failures=$((failures + 1))
  fi
}
head -n 14 "$report" >"$work/first-block"
expect 0 "$report" "" C.UTF-8
expect 0 "$report" "" C.UTF-8 10E3 1E3 10E3 100 -47 -100 3 50  # "-..." is a value; C1, C2 unused
# Beta = -1: the heading and 13 lines of the first block on stdout, the message on stderr.
expect 1 "$work/first-block" "Floating point division by zero" C.UTF-8 10E3 1E3 10E3 100 47 100 3 -1
expect 1 /dev/null "'abc' is not a valid floating point value" C.UTF-8 10E3 1E3 10E3 100 abc 100 3 50
expect 2 /dev/null "usage:.*" C.UTF-8 1 2 3
expect 2 /dev/null "usage:.*" C.UTF-8 1 2 3 4 5 6 7 8 9

# The comma locale: the installed one, or one compiled into the work folder.
if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' ||
  { localedef -i de_DE -f UTF-8 "$work/de_DE.UTF-8" >/dev/null 2>&1 && export LOCPATH=$work; }; then
  LC_ALL=de_DE.UTF-8 "$tool" 10E3 1E3 10E3 100 47 100 1,5 50 | grep -qx '基极静态电位VB=0,75V' ||
    { echo "FAIL: comma locale"; failures=$((failures + 1)); }
else
  echo "note: no de_DE.UTF-8 locale; the comma locale case was not run"
fi
[ "$failures" -eq 0 ] && echo "all passed"
