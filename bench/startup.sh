#!/usr/bin/env bash
# Start-up of Velmor against a bare Qt window doing the same font work, on a private Xvfb.
# Runs each N times in turn (default 21) and prints the median time from the start of the
# process to the first drawing of its window (reported by the X DAMAGE extension), the median
# peak RSS and processor time (which a busy machine disturbs less), and Velmor's ratios to the
# bare window, against the targets: first drawing at most 1.10 times, peak RSS at most 1.03
# times the bare window's. The bare window is also started with libacl preloaded (the one
# library Velmor links beyond Qt's, for saving), to show what that library costs. A benchmark
# run by hand, not a test; it exits with 1 when a target is missed.
#
#   bench/startup.sh [N]        the build folder is build/, or VELMOR_BUILD
# Needs Xvfb, and libxdamage-dev when building velmor_startup_watch.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMOR_BUILD:-$root/build}
runs=${1:-21}
watch=$build/bench/velmor_startup_watch
velmor=$build/app/velmor
baseline=$build/bench/velmor_startup_baseline
for program in "$watch" "$velmor" "$baseline"; do
  if [ ! -x "$program" ]; then
    echo "missing $program: cmake --build $build --target velmor velmor_startup_watch" \
         "velmor_startup_baseline" >&2
    exit 2
  fi
done

work=$(mktemp -d)
chmod 700 "$work"
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
if [ ! -s "$work/display" ]; then echo "Xvfb did not start" >&2; exit 2; fi
export DISPLAY=":$(cat "$work/display")" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

acl=$(ldd "$velmor" | awk '$1 ~ /^libacl\.so/ { print $3 }')
# One untimed start of each, so that both find the files and font caches warm.
"$watch" "$velmor" >/dev/null
"$watch" "$baseline" >/dev/null
for _ in $(seq "$runs"); do
  "$watch" "$velmor" >>"$work/velmor"
  "$watch" "$baseline" >>"$work/baseline"
  LD_PRELOAD=$acl "$watch" "$baseline" >>"$work/acl"
done

paste "$work/velmor" "$work/baseline" "$work/acl" | awk -v runs="$runs" '
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
    return n % 2 ? a[(n+1)/2] : (a[n/2] + a[n/2+1]) / 2
  }
  { vt[NR] = $1; vr[NR] = $2; vc[NR] = $3; cups += $4; bt[NR] = $5; br[NR] = $6; bc[NR] = $7
    q[NR] = $1 / $5; at[NR] = $9; ar[NR] = $10; ac[NR] = $11 }
  END {
    n = NR; mvt = median(vt, n); mbt = median(bt, n); mvr = median(vr, n); mbr = median(br, n)
    mvc = median(vc, n); mbc = median(bc, n); mat = median(at, n); mar = median(ar, n)
    mac = median(ac, n)
    lo = hi = q[1]; for (i = 2; i <= n; i++) { if (q[i] < lo) lo = q[i]; if (q[i] > hi) hi = q[i] }
    printf "%d starts of each, in turn\n", runs
    printf "%-20s %19s %15s %14s\n", "", "first drawing (ms)", "peak RSS (KiB)", "CPU time (ms)"
    printf "%-20s %19.1f %15d %14.1f\n", "velmor", mvt, mvr, mvc
    printf "%-20s %19.1f %15d %14.1f\n", "bare window", mbt, mbr, mbc
    printf "%-20s %19.1f %15d %14.1f\n", "bare window + libacl", mat, mar, mac
    printf "%-20s %18.2fx %14.3fx %13.2fx\n", "velmor / bare", mvt / mbt, mvr / mbr, mvc / mbc
    printf "%-20s %18.2fx %14.3fx %13.2fx\n", "+ libacl / bare", mat / mbt, mar / mbr, mac / mbc
    printf "first-drawing ratio of each pair: %.2f to %.2f\n", lo, hi
    printf "velmor had libcups loaded at its first drawing in %d of %d starts\n", cups, n
    missed = (mvt / mbt > 1.10) + (mvr / mbr > 1.03)
    printf "targets (first drawing <= 1.10x, peak RSS <= 1.03x): %s\n", missed ? "MISSED" : "met"
    exit missed > 0
  }'
