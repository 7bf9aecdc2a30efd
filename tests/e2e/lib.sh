# Shared helpers for the end-to-end tests: a private X server, windows found by name,
# screenshots, and the program's exit code. Source it from a bash script:
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_require Xvfb xdotool          # exits 77 (CTest: skipped) when a tool is missing;
#                                     # under CI a missing tool fails the test instead
#   e2e_start_xvfb                    # exports DISPLAY; stopped again when the script ends
#   e2e_start_app "$VELMOR"           # sets E2E_APP_PID
#   wid=$(e2e_wait_window Velmor)     # the id of the window whose name is exactly "Velmor"
#   e2e_screenshot "$wid" out.png
#   e2e_wait_app_exit                 # sets E2E_APP_STATUS
#   e2e_copy_to FILE ctrl+a           # the focused control's text, through the clipboard
#   e2e_wait_focus "$wid"             # waits until the window has the keyboard focus
#   "$E2E_DEFAULT_REPORT"             # the report for the default inputs, one line each
#
# Everything a helper starts is a child of the calling script and is stopped by its PID when
# the script exits. Failures print a FAIL line saying what differed and exit 1; a command that
# fails unchecked (set -e, also inside a pipeline) prints a FAIL line naming it.
#
# A skipped test writes its reason to $VELMOR_BUILD_DIR/Testing/skipped/, which ./run-tests
# prints after the CTest summary.

set -eEuo pipefail

# Daemons and administration tools (cupsd, lpadmin) live in /usr/sbin, which is not on a normal
# user's PATH on Debian.
export PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin"

E2E_SKIP=77
E2E_XVFB_PID=""
E2E_APP_PID=""
E2E_APP_STATUS=""
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/velmor-e2e.XXXXXX")
E2E_DEFAULT_REPORT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../calc" && pwd)/default_report.txt"

e2e_log() { printf '[e2e] %s\n' "$*" >&2; }

e2e_fail() {
    printf '[e2e] FAIL: %s\n' "$*" >&2
    # Tells the ERR trap of an enclosing shell that the failure has been described already.
    : >"$E2E_TMP/failed" 2>/dev/null || true
    exit 1
}

e2e_on_error() {
    local status=$1 line=$2 command=$3
    [ -e "$E2E_TMP/failed" ] && exit "$status"
    e2e_fail "${BASH_SOURCE[1]##*/}:$line: '$command' ended with status $status"
}
trap 'e2e_on_error $? $LINENO "$BASH_COMMAND"' ERR

# Ends the test as skipped, with REASON in plain words for the summary of ./run-tests. Under CI,
# where ./run-tests has installed everything, a test that cannot run fails instead.
e2e_skip() {
    case ${CI:-} in
    "" | false | 0) ;;
    *) e2e_fail "cannot run under CI: $*" ;;
    esac
    e2e_log "SKIP: $*"
    if [ -n "${VELMOR_BUILD_DIR:-}" ]; then
        mkdir -p "$VELMOR_BUILD_DIR/Testing/skipped"
        printf '%s: %s\n' "$(basename "$0" .sh)" "$*" \
            >"$VELMOR_BUILD_DIR/Testing/skipped/$(basename "$0" .sh).txt"
    fi
    exit "$E2E_SKIP"
}

# Skips the test (see e2e_skip) when one of the named programs is not installed.
e2e_require() {
    local tool missing=()
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    [ ${#missing[@]} -eq 0 ] || e2e_skip "not installed: ${missing[*]} (./run-tests installs them)"
}

e2e_cleanup() {
    local status=$?
    if [ -n "$E2E_APP_PID" ] && kill -0 "$E2E_APP_PID" 2>/dev/null; then
        kill "$E2E_APP_PID" 2>/dev/null || true
        wait "$E2E_APP_PID" 2>/dev/null || true
    fi
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null || true
        wait "$E2E_XVFB_PID" 2>/dev/null || true
    fi
    rm -rf "$E2E_TMP"
    exit "$status"
}
trap e2e_cleanup EXIT

# Starts Xvfb on a free display (it picks the number and writes it to a pipe) with one
# 1280 × 1024 × 24 screen, and exports DISPLAY. No window manager runs: windows have no frame
# and stay where the program puts them. -noreset keeps the server up when its last client
# leaves, so a program started again right after another one ends can still connect.
e2e_start_xvfb() {
    local displayfile="$E2E_TMP/display" i
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$displayfile" \
        >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    for i in $(seq 1 100); do
        if [ -s "$displayfile" ]; then
            export DISPLAY=":$(head -n1 "$displayfile")"
            unset WAYLAND_DISPLAY
            export QT_QPA_PLATFORM=xcb
            export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
            mkdir -p -m 700 "$XDG_RUNTIME_DIR"
            e2e_log "Xvfb on $DISPLAY"
            return 0
        fi
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    cat "$E2E_TMP/xvfb.log" >&2 || true
    e2e_fail "Xvfb did not start"
}

# Starts the program under test in the background; its output goes to $E2E_TMP/app.log.
e2e_start_app() {
    "$@" >"$E2E_TMP/app.log" 2>&1 &
    E2E_APP_PID=$!
}

# Prints the id of the first visible window whose name is exactly NAME, waiting up to
# TIMEOUT seconds (default 20).
e2e_wait_window() {
    local name=$1 timeout=${2:-20} wid i
    for i in $(seq 1 $((timeout * 20))); do
        wid=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n1 || true)
        if [ -n "$wid" ]; then
            printf '%s\n' "$wid"
            return 0
        fi
        sleep 0.05
    done
    e2e_fail "no window named '$name' within ${timeout}s"
}

# Waits until no visible window named exactly NAME is left (default 20 seconds).
e2e_wait_window_gone() {
    local name=$1 timeout=${2:-20} i
    for i in $(seq 1 $((timeout * 20))); do
        xdotool search --onlyvisible --name "^${name}\$" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    e2e_fail "window '$name' still there after ${timeout}s"
}

# Waits up to TIMEOUT seconds (default 20) until the X keyboard focus is on window WID, so that
# keys typed next reach it and not the window that had the focus before.
e2e_wait_focus() {
    local wid=$1 timeout=${2:-20} i
    for i in $(seq 1 $((timeout * 20))); do
        [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$wid" ] && return 0
        sleep 0.05
    done
    e2e_fail "window $wid did not get the keyboard focus within ${timeout}s" \
        "(it is on $(xdotool getwindowfocus 2>/dev/null || echo nothing))"
}

# Prints the window's inside size as WIDTHxHEIGHT.
e2e_window_size() {
    xdotool getwindowgeometry --shell "$1" | awk -F= '/^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print w "x" h}'
}

# Saves a PNG of the window's contents.
e2e_screenshot() {
    import -window "$1" "$2"
}

# Clicks the left button at (X, Y) inside the window.
e2e_click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Waits up to TIMEOUT seconds (default 20) for the program to end; sets E2E_APP_STATUS.
e2e_wait_app_exit() {
    local timeout=${1:-20} i
    for i in $(seq 1 $((timeout * 20))); do
        if ! kill -0 "$E2E_APP_PID" 2>/dev/null; then
            E2E_APP_STATUS=0
            wait "$E2E_APP_PID" || E2E_APP_STATUS=$?
            E2E_APP_PID=""
            return 0
        fi
        sleep 0.05
    done
    e2e_fail "the program did not end within ${timeout}s"
}

# Sends KEYS (if any) and Ctrl+C to the focused control and writes what arrives on the clipboard
# to FILE; fails when nothing new arrives.
e2e_copy_to() {
    local file=$1 marker="velmor-e2e: nothing copied" _
    shift
    printf '%s' "$marker" | xclip -selection clipboard -i
    xdotool key --clearmodifiers "$@" ctrl+c
    for _ in $(seq 1 100); do
        if xclip -selection clipboard -o >"$file" 2>/dev/null && [ "$(cat "$file")" != "$marker" ]; then
            return 0
        fi
        sleep 0.05
    done
    e2e_fail "nothing arrived on the clipboard"
}
