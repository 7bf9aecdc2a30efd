#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and with
# ThreadSanitizer (build-tsan/), then runs the whole suite under the first and the output tests
# under the second, with the suppressions in tools/sanitizers/. Needs what ./run-tests installs.
#
#   tools/check-sanitizers.sh [JOBS]     (default 2: sanitizer builds are slow and large)
#
# Ends with one line per build saying what passed; exit code 0 only when both passed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-2}
summary=()

# check NAME FOLDER SANITIZERS CTEST-ARGUMENTS...
check() {
  local name=$1 dir=$root/$2 sanitize=$3 what=ctest
  shift 3
  [ $# -eq 0 ] || what="ctest $*"
  echo "== $name: configuring and building $dir"
  if ! cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
      -DVELMOR_WITH_BENCH=OFF -DVELMOR_SANITIZE="$sanitize" >/dev/null ||
    ! cmake --build "$dir" -j "$jobs"; then
    summary+=("FAILED  $name: the build failed")
    return 1
  fi
  echo "== $name: $what"
  rm -rf "$dir/Testing/skipped"
  local log=$dir/Testing/sanitizer-check.log
  mkdir -p "$dir/Testing"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local skipped=""
  if compgen -G "$dir/Testing/skipped/*.txt" >/dev/null; then
    skipped=" (did not run: $(cat "$dir"/Testing/skipped/*.txt | tr '\n' ';'))"
  fi
  if [ "$status" -eq 0 ]; then
    summary+=("passed  $name: $what, $(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" |
      sed 's/.* out of /all /')$skipped")
  else
    summary+=("FAILED  $name: $what: $(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log"): \
$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\).*/\1/p' "$log" | tr '\n' ' ')$skipped")
  fi
  return "$status"
}

status=0
check "address,undefined" build-asan address,undefined || status=1
check "thread" build-tsan thread -R output || status=1
echo
echo "== Sanitizer check"
printf '%s\n' "${summary[@]}"
exit "$status"
