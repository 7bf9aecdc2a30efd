#!/usr/bin/env bash
# velmor-report as a script uses it: arguments, exit codes, what goes to each stream, and the
# decimal separator from the numeric locale.
set -u
tool=${VELMOR_REPORT:?set VELMOR_REPORT to the velmor-report binary}
report=$(cd "$(dirname "$0")" && pwd)/default_report.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
sed '/^输出电阻ro=/,$d' "$report" >"$work/first-block"  # the lines before the first ro
# Each row: the exit code; stdout, the same as a file (/...) or holding a line matching an ERE;
# all of stderr matching one; the arguments. In one pipe, stdout comes first, as computed first.
check() {
  local locale=$1 rc out err args status
  while IFS='|' read -r rc out err args; do
    LC_ALL=$locale "$tool" $args >"$work/out" 2>"$work/err"
    status=$?
    LC_ALL=$locale "$tool" $args 2>&1 | cmp -s - <(cat "$work/out" "$work/err") || status=unordered
    if [[ $out == /* ]] && cmp -s "$work/out" "$out" || grep -qxE "$out" "$work/out"; then
      [ "$status" = "$rc" ] && [[ $(<"$work/err") =~ ^$err$ ]] && continue
    fi
    echo "FAIL: $locale $args (exit $status): $(head -c 300 "$work/out" "$work/err")"
    failures=$((failures + 1))
  done
}
# "-..." is a value, and C1 and C2 are unused; Beta = -1 fails at the first ro (1 + Beta = 0).
# Every input in its own place: VC needs R1 to Vcc, and ro Beta.
check C.UTF-8 <<EOF
0|$report||
0|$report||10E3 1E3 10E3 100 -47 -100 3 50
1|$work/first-block|Floating point division by zero|10E3 1E3 10E3 100 47 100 3 -1
1|/dev/null|'abc' is not a valid floating point value|10E3 1E3 10E3 100 abc 100 3 50
2|/dev/null|usage:.*|1 2 3
2|/dev/null|usage:.*|1 2 3 4 5 6 7 8 9
2|/dev/null|usage:.*|--help 2
0|usage: .*\[R1 R2 R3 R4 C1 C2 Vcc Beta\]||--help
0|usage: .*\[R1 R2 R3 R4 C1 C2 Vcc Beta\]||-h
0|集电极静态电位VC=-198\.750387596899V||30E3 2E3 10E3 500 1 2 4 99
0|输出电阻ro=5omh||30E3 2E3 10E3 500 1 2 4 99
EOF
# The comma locale: the installed one, or one compiled into the work folder (package locales).
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 "$work/de_DE.UTF-8" >/dev/null 2>&1 || { echo "FAIL: cannot make the de_DE.UTF-8 locale (package locales)"; exit 1; }
  export LOCPATH=$work
fi
check de_DE.UTF-8 <<<'0|基极静态电位VB=0,75V||10E3 1E3 10E3 100 47 100 1,5 50'
[ "$failures" -eq 0 ] && echo "all passed"
