# shellcheck shell=bash
# Helpers for the end-to-end tests: a private Xvfb and CUPS server, windows found by name.
# Everything started here is stopped by its PID when the script exits. A failing check,
# or a command failing unchecked (set -e), prints a FAIL line. A test that cannot run exits 77
# (skipped) with its reason in $VELMOR_BUILD_DIR/Testing/skipped/; under CI it fails instead.
set -eEuo pipefail

# cupsd and lpadmin live in /usr/sbin, which is not on a normal user's PATH on Debian.
export PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin"

E2E_XVFB_PID="" E2E_WM_PID="" E2E_APP_PID="" E2E_APP_STATUS="" E2E_CUPS_PID=""
E2E_SERVER_PIDS="" # other servers a test starts (compositors, session buses), stopped after the program
E2E_CLEANUP_MORE="" # a command that stops what the servers started in turn, run once they are gone
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/velmor-e2e.XXXXXX")

e2e_fail() {
    printf '[e2e] FAIL: %s\n' "$*" >&2
    [ -z "${DISPLAY:-}" ] || import -window root "${E2E_ARTIFACT_DIR:-$E2E_TMP}/failed-screen.png" 2>/dev/null || true
    : >"$E2E_TMP/failed" 2>/dev/null || true # the ERR trap of an outer shell says no more
    exit 1
}
trap 'e2e_status=$?; [ -e "$E2E_TMP/failed" ] ||
    e2e_fail "${BASH_SOURCE[0]##*/}:$LINENO: \"$BASH_COMMAND\" ended with $e2e_status"' ERR

e2e_skip() {
    case ${CI:-} in "" | false | 0) ;; *) e2e_fail "cannot run under CI: $*" ;; esac
    printf '[e2e] SKIP: %s\n' "$*" >&2
    local dir=${VELMOR_BUILD_DIR:-$E2E_TMP}/Testing/skipped
    mkdir -p "$dir" && echo "$(basename "$0" .sh): $*" >"$dir/$(basename "$0" .sh).txt"
    exit 77
}

e2e_require() {
    local tool missing=()
    for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 || missing+=("$tool"); done
    [ ${#missing[@]} -eq 0 ] || e2e_skip "not installed: ${missing[*]} (./run-tests installs them)"
}

e2e_cleanup() {
    local status=$? pid IFS=$' \t\n' # the lists below are split on spaces, whatever the caller set
    [ -z "$E2E_CUPS_PID" ] || kill -CONT "$E2E_CUPS_PID" 2>/dev/null || true # else it cannot end
    for pid in $E2E_APP_PID $E2E_SERVER_PIDS $E2E_CUPS_PID $E2E_WM_PID $E2E_XVFB_PID; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    [ -z "${E2E_CLEANUP_MORE:-}" ] || "$E2E_CLEANUP_MORE" # a script's own, after the servers
    [ -z "${E2E_ARTIFACT_DIR:-}" ] || [ ! -d "$E2E_TMP/cups/log" ] || { rm -rf "$E2E_ARTIFACT_DIR/cups-log" &&
        cp -r "$E2E_TMP/cups/log" "$E2E_ARTIFACT_DIR/cups-log"; } 2>/dev/null || true
    rm -rf "$E2E_TMP"
    exit "$status"
}
trap e2e_cleanup EXIT

# Runs COMMAND every 50 ms until it succeeds, for at most SECONDS; fails otherwise.
e2e_until() {
    local seconds=$1 _
    shift
    for _ in $(seq 1 $((seconds * 20))); do "$@" && return 0; sleep 0.05; done
    return 1
}

# One screen of SIZE (1280x1024) × 24, no window manager; -noreset outlives each program's last
# window. A second call replaces the first server. The screen's pixels, as shown, are readable
# in $E2E_TMP/Xvfb_screen0 (XWD).
e2e_start_xvfb() {
    [ -z "$E2E_XVFB_PID" ] || { kill "$E2E_XVFB_PID" && wait "$E2E_XVFB_PID" || true; }
    rm -f "$E2E_TMP/display"
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset -fbdir "$E2E_TMP" 3>"$E2E_TMP/display" \
        >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    e2e_until 10 test -s "$E2E_TMP/display" || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    export DISPLAY=":$(head -n1 "$E2E_TMP/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$E2E_TMP/run"
    unset WAYLAND_DISPLAY
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

# Starts the window manager COMMAND... and waits until it announces itself; a second call
# replaces the first.
e2e_start_wm() {
    [ -z "$E2E_WM_PID" ] || { kill "$E2E_WM_PID" && wait "$E2E_WM_PID" || true; }
    "$@" >"$E2E_TMP/wm.log" 2>&1 &
    E2E_WM_PID=$!
    e2e_until 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
        e2e_fail "$1 did not start: $(cat "$E2E_TMP/wm.log")"
}

# Centres of the window's controls inside it, at a scale factor of 1.
calc=(389 276) print=(309 276) save=(621 292) close=(341 332) r1=(380 36)
e2e_window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
# Prints the id of the visible window named exactly NAME, waiting up to TIMEOUT s (20).
e2e_wait_window() {
    e2e_until "${2:-20}" e2e_window_id "$1" >/dev/null || e2e_fail "no window named '$1' within ${2:-20}s"
    e2e_window_id "$1"
}
e2e_no_window() { ! e2e_window_id "$1" >/dev/null; }
e2e_wait_window_gone() { e2e_until 20 e2e_no_window "$1" || e2e_fail "window '$1' is still there"; }
e2e_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
# Keys typed next reach window WID only once it has the keyboard focus.
e2e_wait_focus() { e2e_until 20 e2e_focused "$1" || e2e_fail "window $1 did not get the keyboard focus"; }
# "WIDTHxHEIGHT at X,Y" of the window's inside.
e2e_geometry() {
    xdotool getwindowgeometry --shell "$1" |
        awk -F= '{ v[$1] = $2 } END { print v["WIDTH"] "x" v["HEIGHT"] " at " v["X"] "," v["Y"] }'
}
e2e_click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Waits up to TIMEOUT s (20) for the program to end; sets E2E_APP_STATUS.
e2e_wait_app_exit() {
    e2e_until "${1:-20}" eval '! kill -0 "$E2E_APP_PID" 2>/dev/null' || e2e_fail "the program did not end within ${1:-20}s"
    E2E_APP_STATUS=0
    wait "$E2E_APP_PID" || E2E_APP_STATUS=$?
    E2E_APP_PID=""
}

# A cupsd with its files and socket in $E2E_TMP/cups, where the filters (user lp) reach them;
# exports CUPS_SERVER once the scheduler answers.
e2e_start_cups() {
    local dir=$E2E_TMP/cups
    mkdir -p "$dir"/{spool/tmp,cache,state,log,ppd}
    chmod 0755 "$E2E_TMP" "$dir" "$dir"/{cache,state,log,ppd}
    chmod 1777 "$dir/spool/tmp"
    chmod 0710 "$dir/spool"
    chgrp lp "$dir/spool" 2>/dev/null || true
    printf '%s\n' "ServerRoot $dir" "RequestRoot $dir/spool" "TempDir $dir/spool/tmp" \
        "CacheDir $dir/cache" "StateDir $dir/state" "AccessLog $dir/log/access_log" \
        "ErrorLog $dir/log/error_log" "PageLog $dir/log/page_log" "SystemGroup root" \
        "FileDevice Yes" >"$dir/cups-files.conf"
    printf '%s\n' "Listen $dir/cups.sock" "Browsing No" "WebInterface No" "DefaultAuthType None" \
        "<Location />" "Order allow,deny" "Allow all" "</Location>" \
        "<Policy default>" "<Limit All>" "Order deny,allow" "</Limit>" "</Policy>" >"$dir/cupsd.conf"
    cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
    E2E_CUPS_PID=$!
    export CUPS_SERVER=$dir/cups.sock
    # lpstat -r exits with 0 either way: only its answer tells.
    e2e_until 10 eval '[ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ]' ||
        e2e_fail "cupsd did not start: $(cat "$dir"/log/*)"
}

# A session bus with the accessibility bus, through which e2e_window_text reads what a window
# shows; programs started afterwards (with QT_ACCESSIBILITY=1) publish their windows there.
e2e_start_atspi() {
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || e2e_skip "not installed: python3-pyatspi"
    dbus-daemon --session --nofork --print-address=3 3>"$E2E_TMP/bus" >/dev/null 2>&1 &
    E2E_SERVER_PIDS="$! $E2E_SERVER_PIDS"
    e2e_until 10 test -s "$E2E_TMP/bus" || e2e_fail "dbus-daemon did not start"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus") QT_ACCESSIBILITY=1 \
        QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    E2E_SERVER_PIDS="$! $E2E_SERVER_PIDS"
}
# The texts of the labels in the window named NAME, one a line; fails when there is none.
e2e_window_text() {
    /usr/bin/python3 -c 'import sys, pyatspi
def labels(node):
    for child in (c for c in node if c is not None):
        if child.getRole() == pyatspi.ROLE_LABEL and child.name: yield child.name
        yield from labels(child)
for window in (w for app in pyatspi.Registry.getDesktop(0) for w in app or []):
    if window is not None and window.name == sys.argv[1]: sys.exit(print("\n".join(labels(window))))
sys.exit(1)' "$1"
}
