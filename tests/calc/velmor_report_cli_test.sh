#!/usr/bin/env bash
# velmor-report as a script uses it: arguments, exit codes, what goes to each stream, and the
# decimal separator from the numeric locale.
set -u
tool=${VELMOR_REPORT:?set VELMOR_REPORT to the velmor-report binary}
report=$(cd "$(dirname "$0")" && pwd)/default_report.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { "${@:2}" || { echo "FAIL: $1"; failures=$((failures + 1)); }; }
run() {  # run LOCALE ARGS... ; sets rc and fills $work/out and $work/err
  LC_ALL=$1 "$tool" "${@:2}" >"$work/out" 2>"$work/err"
  rc=$?
}

run C.UTF-8
check "default report on stdout" cmp -s "$work/out" "$report"
check "default: exit 0, stderr empty" test "$rc" -eq 0 -a ! -s "$work/err"

# Beta = -1: the heading and 13 lines of the first block on stdout, the message on stderr.
run C.UTF-8 10E3 1E3 10E3 100 47 100 3 -1
check "fault: exit 1" test "$rc" -eq 1
check "fault: its lines on stdout" cmp -s "$work/out" <(head -n 14 "$report")
check "fault: message on stderr" test "$(cat "$work/err")" = "Floating point division by zero"

run C.UTF-8 10E3 1E3 10E3 100 abc 100 3 50
check "conversion: exit 1, no lines" test "$rc" -eq 1 -a ! -s "$work/out"
check "conversion: message" test "$(cat "$work/err")" = "'abc' is not a valid floating point value"

run C.UTF-8 10E3 -1E3 10E3 100 47 100 -3 50
check "arguments beginning with - are values" test "$rc" -eq 0 -a "$(wc -l <"$work/out")" -eq 29

for count in 3 9; do
  run C.UTF-8 $(seq "$count")
  check "$count arguments: exit 2, no lines" test "$rc" -eq 2 -a ! -s "$work/out"
  check "$count arguments: usage" grep -q '^usage:' "$work/err"
done

# The comma locale: the installed one, or one compiled into the work folder.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 "$work/de_DE.UTF-8" >/dev/null 2>&1 && export LOCPATH=$work
fi
if [ -n "${LOCPATH:-}" ] || locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  run de_DE.UTF-8 10E3 1E3 10E3 100 47 100 1,5 50
  check "comma locale" grep -qx '基极静态电位VB=0,75V' "$work/out"
else
  echo "note: no de_DE.UTF-8 locale; the comma locale case was not run"
fi
[ "$failures" -eq 0 ] && echo "all passed"
