#!/usr/bin/env bash
# The real program on a Wayland-only desktop: sway on its headless output, without Xwayland, and
# nothing but WAYLAND_DISPLAY in the program's environment. The window "Velmor" must appear under
# its desktop id, and closing it from the compositor must end the program with 0.
# sway refuses to run as root: as root, it runs as a user this test creates.
# Environment: VELMOR (the program).
source "$(dirname "$0")/lib.sh"
e2e_require sway swaymsg setpriv
: "${VELMOR:?}"

user=velmor-e2e-sway
as_sway_user=()
if [ "$(id -u)" = 0 ]; then
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
    as_sway_user=(setpriv --reuid="$user" --regid="$user" --init-groups)
fi
chmod 0755 "$E2E_TMP"
sway_run=$E2E_TMP/sway-run app_run=$E2E_TMP/app-run
mkdir -m 700 "$sway_run" "$app_run"
[ ${#as_sway_user[@]} = 0 ] || chown "$user" "$sway_run"
printf '%s\n' 'xwayland disable' 'output HEADLESS-1 resolution 1366x768' >"$E2E_TMP/sway.conf"
chmod 0644 "$E2E_TMP/sway.conf"

"${as_sway_user[@]}" env -i PATH=/usr/bin:/bin HOME="$sway_run" XDG_RUNTIME_DIR="$sway_run" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$E2E_TMP/sway.conf" >"$E2E_TMP/sway.log" 2>&1 &
# shellcheck disable=SC2034 # lib.sh stops it
E2E_SERVER_PIDS=$!
# sway answers once its event loop runs; a SIGTERM before that would be lost.
sway_ready() {
    SWAYSOCK=$(compgen -G "$sway_run/sway-ipc.*.sock") && WAYLAND_DISPLAY=$(compgen -G "$sway_run/wayland-[0-9]") &&
        SWAYSOCK=$SWAYSOCK swaymsg -t get_version >/dev/null 2>&1
}
e2e_until 20 sway_ready || e2e_fail "sway did not start: $(cat "$E2E_TMP/sway.log")"
export SWAYSOCK WAYLAND_DISPLAY

# "app_id|title" of every window sway manages, one a line (a window's title comes before its id).
windows() { swaymsg -t get_tree | awk -F'"' '$2 == "name" { name = $4 } $2 == "app_id" { print $4 "|" name }'; }

# Nothing else of the test's environment but a sanitizer build's options.
env -i PATH=/usr/bin:/bin HOME="$app_run" XDG_RUNTIME_DIR="$app_run" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
    $(env | grep -E '^(A|LS|UBS|TS)AN_OPTIONS=' || true) "$VELMOR" >"$E2E_TMP/app.log" 2>&1 &
E2E_APP_PID=$!
e2e_until 20 eval '[ "$(windows)" = "org.velmor.Velmor|Velmor" ]' ||
    e2e_fail "sway shows no window org.velmor.Velmor \"Velmor\" but: $(windows); the program said: $(cat "$E2E_TMP/app.log")"

# The compositor's close, as from a title bar's close box.
swaymsg '[app_id="org.velmor.Velmor"] kill' >/dev/null
e2e_wait_app_exit
[ "$E2E_APP_STATUS" = 0 ] || e2e_fail "closed by sway, the program ended with $E2E_APP_STATUS: $(cat "$E2E_TMP/app.log")"
