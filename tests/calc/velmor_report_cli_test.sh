#!/usr/bin/env bash
# velmor-report as a script uses it: arguments, exit codes, what goes to each stream, and the
# decimal separator from the numeric locale.
set -u
tool=${VELMOR_REPORT:?set VELMOR_REPORT to the velmor-report binary}
report=$(cd "$(dirname "$0")" && pwd)/default_report.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect RC OUT ERR LOCALE ARGS...: exit code RC, stdout the same as the file OUT, and all of
# stderr matching the extended regular expression ERR.
expect() {
  LC_ALL=$4 "$tool" "${@:5}" >"$work/out" 2>"$work/err"
  local rc=$?
  if [ "$rc" -ne "$1" ] || ! cmp -s "$work/out" "$2" || ! [[ $(<"$work/err") =~ ^$3$ ]]; then
    fail "${*:4} (exit $rc)"
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
expect 2 /dev/null "usage:.*" C.UTF-8 --help 2
# Asked for, the usage goes to stdout with every input in order, and the exit code is 0.
for option in --help -h; do
  LC_ALL=C.UTF-8 "$tool" $option >"$work/out" 2>"$work/err" && [ ! -s "$work/err" ] &&
    grep -qx 'usage: .*\[R1 R2 R3 R4 C1 C2 Vcc Beta\]' "$work/out" || fail "$option"
done
# Every input in its own place: R1 and R3, R2 and R4 swapped, or Beta misread, change a line.
LC_ALL=C.UTF-8 "$tool" 30E3 2E3 10E3 500 1 2 4 99 >"$work/out"
for line in 基极静态电位VB=1V 发射极静态电流IE=0.0006A 集电极静态电位VC=-198.750387596899V 输出电阻ro=5omh; do
  grep -qxF "$line" "$work/out" || fail "inputs in their places: $line"
done

# The comma locale: the installed one, or one compiled into the work folder.
if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' ||
  { localedef -i de_DE -f UTF-8 "$work/de_DE.UTF-8" >/dev/null 2>&1 && export LOCPATH=$work; }; then
  LC_ALL=de_DE.UTF-8 "$tool" 10E3 1E3 10E3 100 47 100 1,5 50 | grep -qx '基极静态电位VB=0,75V' ||
    fail "comma locale"
else
  echo "note: no de_DE.UTF-8 locale; the comma locale case was not run"
fi
[ "$failures" -eq 0 ] && echo "all passed"
