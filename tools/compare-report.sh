#!/usr/bin/env bash
# Runs two velmor-report builds on the same random input sets and reports every set on which
# their standard output, standard error or exit code differ: a change meant to keep behaviour
# must give none.
#
#   tools/compare-report.sh OLD-VELMOR-REPORT NEW-VELMOR-REPORT [COUNT [SEED]]
#
# The texts are mostly numbers of 1 to 21 digits with and without exponents, some at the ends of
# the binary64 range, some not numbers; one set in eight runs in a comma locale (compiled into a
# temporary folder when the system has none). Exit code: 0 all equal, 1 differences, 2 usage.
set -euo pipefail
if [ $# -lt 2 ]; then
  sed -n '2,10s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
comma=
if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  comma=de_DE.UTF-8
elif localedef -i de_DE -f UTF-8 "$work/de_DE.UTF-8" >/dev/null 2>&1; then
  comma=de_DE.UTF-8
  export LOCPATH=$work
fi
[ -n "$comma" ] || echo "note: no de_DE.UTF-8 locale; every set runs with the full stop"

exec python3 - "$1" "$2" "${3:-400000}" "${4:-1}" "$comma" <<'EOF'
import concurrent.futures, os, random, subprocess, sys

old, new, count, seed, comma = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
rng = random.Random(seed)
ODD = ["", "abc", "  ", "+", "E5", "1.2.3", "1e5e5", "\t1", "- 5", "1 E5", "1E4999", "1E5000",
       "0", "-0", ".", "-.", "1E400", "-1E309", "1E-400", "1E500", "1E-4999", "4.9E-324", "1E",
       "1e+", " 12 ", "1.8E308", "10E3", "1E3", "100", "47", "3", "50", "-1", "0.7", "1.4"]

def text(separator):
    if rng.randrange(20) == 0:
        t = rng.choice(ODD)
    else:
        digits, exponent = rng.randint(1, 21), rng.randrange(10)
        point = rng.randint(-1, digits)
        t = "-" if rng.randrange(4) == 0 else ""
        t += "".join(("." if i == point else "") + str(rng.randrange(10)) for i in range(digits))
        if exponent >= 8:
            t += "E" + str(rng.randint(-330, 330))
        elif exponent >= 4:
            t += "e" + str(rng.randint(-12, 12))
    return t.replace(".", separator)

def case():
    use_comma = comma and rng.randrange(8) == 0
    return (comma if use_comma else "C.UTF-8"), [text("," if use_comma else ".") for _ in range(8)]

def run(binary, locale, args):
    env = dict(os.environ, LC_ALL=locale)
    r = subprocess.run([binary] + args, capture_output=True, env=env)
    return r.returncode, r.stdout, r.stderr

def compare(item):
    locale, args = item
    a, b = run(old, locale, args), run(new, locale, args)
    return b[0], None if a == b else (locale, args, a, b)

cases = [case() for _ in range(count)]
codes, differences = {}, []
with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
    for rc, difference in pool.map(compare, cases, chunksize=256):
        codes[rc] = codes.get(rc, 0) + 1
        if difference is not None:
            differences.append(difference)
for locale, args, a, b in differences[:10]:
    print(f"DIFFERENT: LC_ALL={locale} {args!r}\n  old: {a!r}\n  new: {b!r}")
print(f"{count} input sets, {len(differences)} different; exit codes: {dict(sorted(codes.items()))}")
sys.exit(1 if differences else 0)
EOF
