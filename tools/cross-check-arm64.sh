#!/usr/bin/env bash
# Builds velmor-report natively and for arm64 (where long double is binary128, so nothing but
# the integer arithmetic can agree by accident) and compares their reports on random inputs
# under qemu. Needs g++-aarch64-linux-gnu and qemu-user.   Usage: tools/cross-check-arm64.sh [N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Builds velmor-report from the project's own CMake target, calculation only.
build() {
  local dir=$1
  shift
  cmake -S "$root" -B "$work/$dir" -DCMAKE_BUILD_TYPE=Release -DVELMOR_WITH_APP=OFF \
    -DVELMOR_WITH_BENCH=OFF -DVELMOR_WITH_FUZZ=OFF -DBUILD_TESTING=OFF "$@" >/dev/null
  cmake --build "$work/$dir" --target velmor-report -j2 >/dev/null
  cp "$work/$dir/calc/velmor-report" "$work/$dir.bin"
}
build native
build arm64 -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=aarch64 \
  -DCMAKE_CXX_COMPILER=aarch64-linux-gnu-g++ -DCMAKE_EXE_LINKER_FLAGS=-static

python3 - "$count" >"$work/inputs" <<'PY'
import random, sys
random.seed(7)
def text():
    kind = random.random()
    if kind < 0.7:
        return f"{random.uniform(-1, 1) * 10 ** random.randint(-6, 6):.{random.randint(1, 17)}g}"
    if kind < 0.9:
        return f"{random.randint(1, 99)}E{random.randint(-320, 320)}"
    return random.choice(["0", "-0", "1.4", "-1", "abc", "1E400", "4.9E-324"])
for _ in range(int(sys.argv[1])):
    print(" ".join(text() for _ in range(8)))
PY

mismatches=0
while read -r -a args; do
  a=$("$work/native.bin" "${args[@]}" 2>&1; echo "rc=$?")
  b=$(qemu-aarch64 "$work/arm64.bin" "${args[@]}" 2>&1; echo "rc=$?")
  if [ "$a" != "$b" ]; then
    mismatches=$((mismatches + 1))
    echo "differs for: ${args[*]}"
  fi
done <"$work/inputs"
echo "$count input sets compared, $mismatches differ"
[ "$mismatches" -eq 0 ]
