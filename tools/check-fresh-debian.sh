#!/usr/bin/env bash
# Checks the project on a freshly installed Debian, as a new user would meet it.
#
#   tools/check-fresh-debian.sh [--keep DIR] [--rev REV] SUITE    (SUITE: bookworm or trixie)
#   tools/check-fresh-debian.sh --rerun DIR [REV]
#
# The first form builds a minimal Debian SUITE root (debootstrap --variant=minbase) in a scratch
# folder, adds a normal user "tester" who may use sudo, and lets that user clone this repository
# (REV, default HEAD, of the repository the script lives in) and follow the README: ./run without
# a display (it installs and builds, then explains), ./run-tests, xvfb-run -a ./run (the window
# "Velmor" must appear) and cpack. The package it makes is then installed with apt-get on a copy
# of the untouched root, where velmor-report and the window must start. It prints the CTest
# summary, the packages installed, the disk used and the wall times, and ends with status 0 only
# when every step passed. Everything it made is unmounted and removed at the end, also when it is
# interrupted; with --keep DIR the tester's root stays in DIR (unmounted) for --rerun.
#
# --rerun DIR [REV] clones REV afresh into the kept root as the tester and runs ./run-tests there:
# the packages are already installed, so only the build and the tests take time.
#
# Needs root (it re-runs itself through sudo), debootstrap and network access to the mirror.
set -euo pipefail

script=$(readlink -f "$0")
repo=$(cd "$(dirname "$script")/.." && pwd)
[ "$(id -u)" -eq 0 ] || exec sudo -- "$script" "$@"

usage() {
    sed -n '3,5p' "$script" | sed 's/^# *//' >&2
    exit 2
}

keep="" rev=HEAD rerun="" suite=""
while [ $# -gt 0 ]; do
    case $1 in
    --keep) keep=$(readlink -f "${2:?}"); shift 2 ;;
    --rev) rev=${2:?}; shift 2 ;;
    --rerun) rerun=$(readlink -f "${2:?}"); shift 2; [ $# -eq 0 ] || { rev=$1; shift; } ;;
    bookworm | trixie) suite=$1; shift ;;
    *) usage ;;
    esac
done
[ -n "$suite" ] || [ -n "$rerun" ] || usage
commit=$(git -C "$repo" rev-parse --verify "$rev^{commit}")

# The mirror this machine uses, so that both suites come from the same place.
mirror=$(awk '/^URIs:/ && $2 ~ /\/debian\/?$/ {print $2; exit}' \
    /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}

started=$(date +%s)
work="" roots=()
log() { printf '[fresh %s] %s\n' "$(date -u +%H:%M:%S)" "$*" >&2; }
elapsed() { echo "$(($(date +%s) - $1)) s"; }

mount_root() {
    local root=$1
    # A mount point of its own, so that a test inside can make its mounts private.
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount -t sysfs sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs shm "$root/dev/shm"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    roots+=("$root")
}

# Ends every process still running inside ROOT (test daemons, the window) and unmounts it.
unmount_root() {
    local root=$1 pid mount
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null
    done
    sleep 0.2
    for mount in $(findmnt -rn -o TARGET | awk -v r="$root" '$0 == r || index($0, r "/") == 1' | sort -r); do
        umount "$mount" 2>/dev/null || umount -l "$mount"
    done
}

cleanup() {
    local status=$? root
    trap - EXIT INT TERM
    for root in "${roots[@]}"; do unmount_root "$root"; done
    if [ -n "$work" ] && [ -d "$work" ]; then
        # Never remove anything while a mount is left inside (it could be the host's /dev).
        if findmnt -rn -o TARGET | grep -qF "$work/"; then
            log "mounts are left under $work; not removing it"
        else
            rm -rf --one-file-system "$work"
        fi
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'log "interrupted"; exit 130' INT TERM

# Runs COMMAND as the tester in ROOT, in a login shell (a normal user's PATH and environment).
as_tester() {
    chroot "$1" /usr/sbin/runuser -l tester -c "$2"
}

package_count() {
    chroot "$1" dpkg-query -W -f '${db:Status-Status}\n' | grep -cx installed
}

# Puts COMMIT into ROOT's /srv/velmor.git as branch main, owned by the tester (git refuses a
# repository owned by someone else).
publish() {
    local root=$1 bare=$1/srv/velmor.git
    rm -rf "$bare"
    git init -q --bare -b main "$bare"
    git -C "$repo" push -q "$bare" "$commit:refs/heads/main"
    chroot "$root" chown -R tester: /srv/velmor.git
}

# The clone and ./run-tests as the tester; prints CTest's summary and the skip reasons.
run_tests() {
    local root=$1 begin status=0
    begin=$(date +%s)
    as_tester "$root" 'rm -rf velmor && git clone -q /srv/velmor.git velmor' || return 1
    as_tester "$root" 'cd velmor && ./run-tests' >"$work/run-tests.log" 2>&1 || status=$?
    log "./run-tests: status $status in $(elapsed "$begin"); its summary:"
    sed -n '/tests passed\|tests failed/,$p' "$work/run-tests.log" >&2
    [ "$status" -eq 0 ] || { tail -n 60 "$work/run-tests.log" >&2; return 1; }
    # Rows that need root are skipped for the tester and run here as root in the same build.
    if sed -n '/Tests that did not run/,$p' "$work/run-tests.log" | sed 1d | grep -qv '(needs root)\|^$'; then
        log "FAIL: tests were skipped"
        return 1
    fi
    if grep -q '(needs root)' "$work/run-tests.log"; then
        chroot "$root" env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 XDG_RUNTIME_DIR=/tmp \
            CUPS_SERVER=/nonexistent.sock /home/tester/velmor/build/tests/app/output_test save \
            >"$work/root.log" 2>&1 && ! grep -q ' skipped: ' "$work/root.log" ||
            { log "FAIL: the rows that need root, as root:"; cat "$work/root.log" >&2; return 1; }
        log "the rows that need root passed as root"
    fi
}

if [ -n "$rerun" ]; then
    [ -d "$rerun/root/home/tester" ] || { log "$rerun holds no kept root"; exit 2; }
    work=$(mktemp -d /var/tmp/velmor-rerun.XXXXXX)
    root=$rerun/root
    mount_root "$root"
    publish "$root"
    log "commit $commit in the kept $(cat "$rerun/suite" 2>/dev/null) root at $root"
    status=0
    run_tests "$root" || status=1
    log "wall time $(elapsed "$started"); $( ((status == 0)) && echo PASSED || echo FAILED)"
    exit "$status"
fi

command -v debootstrap >/dev/null || { log "debootstrap is not installed"; exit 2; }
work=$(mktemp -d /var/tmp/velmor-fresh.XXXXXX)
root=$work/root
log "Debian $suite from $mirror, commit $commit, in $work"

begin=$(date +%s)
debootstrap --variant=minbase --include=git,ca-certificates,sudo "$suite" "$root" "$mirror" \
    >"$work/debootstrap.log" 2>&1 || { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }
log "debootstrap: $(elapsed "$begin")"
# The untouched system, for installing the package on later.
cp -a "$root" "$work/clean"

mount_root "$root"
chroot "$root" useradd -m -s /bin/bash tester
echo 'tester ALL=(ALL:ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/tester"
chmod 0440 "$root/etc/sudoers.d/tester"
publish "$root"
base_packages=$(package_count "$root")
base_disk=$(du -sxm "$root" | cut -f1)

failed=()
# 1. ./run with no display: installs and builds, then says how to go on.
begin=$(date +%s)
as_tester "$root" 'git clone -q /srv/velmor.git velmor && cd velmor && ./run' \
    >"$work/run.log" 2>&1 && failed+=("./run without a display did not stop")
if grep -q 'xvfb-run -a ./run' "$work/run.log"; then
    log "./run (no display): $(elapsed "$begin"), $(($(package_count "$root") - base_packages))" \
        "packages installed"
else
    tail -n 30 "$work/run.log" >&2
    failed+=("./run without a display did not explain")
fi

# 2. ./run-tests.
run_tests "$root" || failed+=("./run-tests")
packages=$(($(package_count "$root") - base_packages))
disk=$(($(du -sxm "$root" | cut -f1) - base_disk))

# 3. xvfb-run -a ./run: the window appears.
if as_tester "$root" 'cd velmor && timeout 120 xvfb-run -a sh -c "./run & xdotool search --sync \
        --onlyvisible --name \"^Velmor\$\" >/dev/null && echo window shown; kill \$!"' \
    >"$work/window.log" 2>&1 && grep -q 'window shown' "$work/window.log"; then
    log "xvfb-run -a ./run: the window Velmor appeared"
else
    cat "$work/window.log" >&2
    failed+=("the window did not appear under xvfb-run -a ./run")
fi

# 4. The package, installed on a clean system.
as_tester "$root" 'cd velmor/build && cpack -G DEB' >"$work/cpack.log" 2>&1 ||
    { tail -n 20 "$work/cpack.log" >&2; failed+=("cpack -G DEB"); }
deb=$root/home/tester/velmor/build/velmor_1.0-1_amd64.deb
if [ -s "$deb" ]; then
    clean=$work/clean
    cp "$deb" "$clean/tmp/"
    mount_root "$clean"
    clean_packages=$(package_count "$clean")
    chroot "$clean" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install \
        -y -qq --no-install-recommends ./tmp/velmor_1.0-1_amd64.deb' >"$work/deb.log" 2>&1 ||
        { tail -n 20 "$work/deb.log" >&2; failed+=("apt-get install ./velmor_1.0-1_amd64.deb"); }
    log "velmor_1.0-1_amd64.deb: $(stat -c %s "$deb") bytes, installs" \
        "$(($(package_count "$clean") - clean_packages)) packages on a clean $suite"
    if chroot "$clean" velmor-report | grep -q '直流参数'; then
        log "velmor-report from the package prints the report"
    else
        failed+=("velmor-report from the package")
    fi
    # The X server and xdotool are only the check's tools, installed after the count.
    chroot "$clean" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends xvfb xauth xdotool >>"$work/deb.log" 2>&1
    if chroot "$clean" timeout 60 xvfb-run -a sh -c 'velmor & xdotool search --sync --onlyvisible \
            --name "^Velmor\$" >/dev/null && echo window shown; kill $!' 2>&1 | grep -q 'window shown'
    then
        log "velmor from the package shows its window"
    else
        failed+=("velmor from the package shows no window")
    fi
else
    failed+=("no velmor_1.0-1_amd64.deb")
fi

log "Debian $suite: $packages packages installed by ./run and ./run-tests, $disk MB of disk;" \
    "wall time $(elapsed "$started")"
if [ -n "$keep" ]; then
    unmount_root "$root"
    mkdir -p "$keep"
    rm -rf --one-file-system "${keep:?}/root"
    mv "$root" "$keep/root"
    echo "$suite" >"$keep/suite"
    roots=("$work/clean")
    log "kept the tester's root in $keep; re-run: $script --rerun $keep [REV]"
fi
if [ ${#failed[@]} -gt 0 ]; then
    log "FAILED: ${failed[*]}"
    exit 1
fi
log "PASSED"
