#!/usr/bin/env bash
# Runs the built program on the desktops people use, each on a 1366 × 768 screen, and prints one
# Markdown table row per desktop: the Qt platform that ran, where the window's frame lies against
# the screen and its work area, the window actions the manager offers, the icon a task switcher
# reads, a screenshot, and whether 计算, 保存 (through the real file dialog) and 打印 (to a private
# CUPS queue writing PDF) gave the expected file and one page. Input goes in as a user's would:
# XTEST on X and Xwayland, wtype on sway, accessibility actions (AT-SPI) elsewhere.
# A tool for people, not a test: it needs root (sway and mutter refuse root, so every desktop and
# the program run as a user it creates) and these Debian packages: openbox xfwm4 xfce4-panel mutter
# kwin-wayland weston sway xwayland qt6-wayland xvfb x11-utils xdotool wtype grim imagemagick jq
# libglib2.0-bin dbus-daemon at-spi2-core python3-pyatspi cups cups-filters poppler-utils.
# A second table says, for Xfce's two default panels on three screen sizes, whether a panel
# covers 关闭's centre. Every process started for a row is stopped when the row is done.
# Usage: tools/check-desktops.sh [PROGRAM [PICTURES]]   (build/app/velmor, docs/desktops)
#        DESKTOPS="xfce sway" DOCK_SCREENS=1366x768 tools/check-desktops.sh   (only these)
#        tools/check-desktops.sh --one DESKTOP PROGRAM PICTURES   (one row; what the first runs)
#        tools/check-desktops.sh --dock SCREEN PROGRAM            (one row of the second table)
here=$(cd "$(dirname "$0")" && pwd)
read -r -a desktops <<<"${DESKTOPS:-openbox xfce mutter-xwayland mutter-wayland kwin weston weston-headless sway}"
read -r -a dock_screens <<<"${DOCK_SCREENS:-1366x768 1280x720 1024x600}"
user=velmor-desktops

# Every process a row starts carries CHECK_DESKTOPS_RUN in its environment (the desktops' user's
# too: as_user passes it on), so that what a row leaves running is found whoever started it.
export CHECK_DESKTOPS_RUN=${CHECK_DESKTOPS_RUN:-check-desktops-$$}
# The processes carrying the marker, but for this shell: "PID COMMAND LINE" a line.
marked() {
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/} pid=${pid%/environ}
        [ "$pid" != $$ ] && [ "$pid" != "$BASHPID" ] &&
            grep -qzx "CHECK_DESKTOPS_RUN=$CHECK_DESKTOPS_RUN" "$environ" 2>/dev/null &&
            echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    done
    return 0
}
# Says on standard error which processes the row NAME left running.
left_behind() {
    local left
    left=$(marked)
    [ -z "$left" ] || printf 'check-desktops: left running after %s:\n%s\n' "$1" "$left" >&2
}

if [ "${1:-}" != --one ] && [ "${1:-}" != --dock ]; then
    [ "$(id -u)" = 0 ] || { echo "check-desktops: run me as root" >&2; exit 1; }
    program=$(realpath "${1:-$here/../build/app/velmor}") pictures=$(realpath -m "${2:-$here/../docs/desktops}")
    [ -x "$program" ] || { echo "check-desktops: no program at $program (build it first)" >&2; exit 1; }
    logs=$(mktemp -d "${TMPDIR:-/tmp}/check-desktops.XXXXXX")
    mkdir -p "$pictures"
    echo "check-desktops: each desktop's messages go to $logs" >&2
    echo "| Desktop | Qt platform | Frame on a 1366 × 768 screen | Window actions offered | Icon for the switcher | Screenshot | 计算 + 保存 | 打印 | Not measured |"
    echo "|---|---|---|---|---|---|---|---|---|"
    for desktop in "${desktops[@]}"; do
        "$0" --one "$desktop" "$program" "$pictures" 2>"$logs/$desktop.log" ||
            echo "| $desktop | the check failed: $(grep -m1 FAIL "$logs/$desktop.log") |"
        left_behind "$desktop"
    done
    echo
    echo "| Screen | Frame | 关闭's centre | Panels (as shown with no window about) | 关闭 covered |"
    echo "|---|---|---|---|---|"
    for screen in "${dock_screens[@]}"; do
        "$0" --dock "$screen" "$program" 2>"$logs/dock-$screen.log" ||
            echo "| $screen | the check failed: $(grep -m1 FAIL "$logs/dock-$screen.log") |"
        left_behind "dock $screen"
    done
    exit 0
fi

desktop=$2 VELMOR=$3 pictures=${4:-} screen=1366x768
[ "$1" != --dock ] || desktop=xfce screen=$2
source "$here/../tests/e2e/lib.sh"
# The session bus starts services of its own for the desktop (xfconfd, the accessibility
# registry): once the servers are stopped, what is left of the row is stopped by its PID.
stop_services() {
    local pid
    for pid in $(marked | cut -d' ' -f1); do kill "$pid" 2>/dev/null || true; done
    e2e_until 10 eval '[ -z "$(marked | grep -v "^[0-9]* $")" ]' || true
}
E2E_CLEANUP_MORE=stop_services
# The test library's e2e_until counts tries of 50 ms; many tries here take far longer (a
# picture, a window list), so this one waits by the clock.
e2e_until() {
    local deadline=$((${EPOCHREALTIME/[.,]/} / 1000 + $1 * 1000))
    shift
    until "$@"; do
        [ $((${EPOCHREALTIME/[.,]/} / 1000)) -lt $deadline ] || return 1
        sleep 0.05
    done
}
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
chmod 0755 "$E2E_TMP"
home=$E2E_TMP/home run=$E2E_TMP/user-run work=$E2E_TMP/work
mkdir -m 700 "$home" "$run"
mkdir -m 777 "$work"
chown "$user:" "$home" "$run"
not_measured=()

# The user's command prefix with the session's variables and any more given.
as_user() {
    as=(setpriv --reuid="$user" --regid="$user" --init-groups env -i PATH=/usr/bin:/bin HOME="$home"
        CHECK_DESKTOPS_RUN="$CHECK_DESKTOPS_RUN"
        XDG_RUNTIME_DIR="$run" DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus" LC_ALL=C.UTF-8 "$@")
}
# Starts COMMAND as the user in the background; it is stopped when the check ends.
start_as_user() {
    "${as[@]}" "$@" >>"$E2E_TMP/desktop.log" 2>&1 &
    E2E_SERVER_PIDS="$! $E2E_SERVER_PIDS"
}
session_bus() {
    as_user
    start_as_user dbus-daemon --session --nofork --address="unix:path=$run/bus"
    e2e_until 10 test -S "$run/bus" || e2e_fail "dbus-daemon did not start"
}
wayland_socket() { WAYLAND_DISPLAY=$(compgen -G "$run/wayland-[0-9]" | head -n1) && [ -n "$WAYLAND_DISPLAY" ]; }
wait_wayland() { e2e_until 30 wayland_socket || e2e_fail "no Wayland socket: $(tail -n5 "$E2E_TMP/desktop.log")"; }
x_wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# --- the desktops: each sets DISPLAY and/or WAYLAND_DISPLAY for the program, and drive --------
start_x() { # WINDOW-MANAGER...
    e2e_start_xvfb "$screen"
    session_bus
    as_user DISPLAY="$DISPLAY"
    start_as_user "$@"
    e2e_until 20 x_wm_ready || e2e_fail "$1 did not start: $(tail -n5 "$E2E_TMP/desktop.log")"
    drive=xtest app_env=(DISPLAY="$DISPLAY")
}
start_openbox() { start_x openbox; }
start_xfce() {
    # The panel's first start asks which layout to use; the default one is what it would pick.
    local conf=$home/.config/xfce4/xfconf/xfce-perchannel-xml
    mkdir -p "$conf" && cp /etc/xdg/xfce4/panel/default.xml "$conf/xfce4-panel.xml" && chown -R "$user:" "$home/.config"
    start_x xfwm4
    start_as_user xfce4-panel
    e2e_until 20 eval '[ "$(xprop -root _NET_WORKAREA | cut -d, -f4)" != " 768" ]' ||
        e2e_fail "xfce4-panel reserved no room: $(xprop -root _NET_WORKAREA)"
}
start_mutter() { # the program's environment in a GNOME session
    session_bus
    start_as_user mutter --headless --wayland --virtual-monitor 1366x768
    wait_wayland
    e2e_until 30 grep -q 'Using public X11 display' "$E2E_TMP/desktop.log" || e2e_fail "mutter started no Xwayland"
    export DISPLAY XAUTHORITY
    DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$E2E_TMP/desktop.log")
    XAUTHORITY=$(compgen -G "$run/.mutter-Xwaylandauth.*")
}
start_mutter-xwayland() { start_mutter && drive=xtest app_env=(DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" WAYLAND_DISPLAY="$WAYLAND_DISPLAY"); }
# GNOME's compositor as a Wayland-only session (no Xwayland), its screen a window on an Xvfb.
start_mutter-wayland() {
    e2e_start_xvfb "$screen"
    session_bus
    as_user DISPLAY="$DISPLAY" MUTTER_DEBUG_DUMMY_MODE_SPECS="$screen"
    start_as_user mutter --nested --wayland --no-x11
    wait_wayland
    drive=atspi app_env=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
}
start_kwin() {
    local kwin=kwin_wayland
    # kwin_wayland carries a file capability; where the system may not grant it (a container),
    # a copy without it runs (the copy must keep the name: KWin checks it).
    if ! kwin_wayland --version >/dev/null 2>&1; then
        mkdir -p "$E2E_TMP/kwin" && cp "$(command -v kwin_wayland)" "$E2E_TMP/kwin/" && kwin=$E2E_TMP/kwin/kwin_wayland
    fi
    session_bus
    start_as_user "$kwin" --virtual --width 1366 --height 768 --no-lockscreen --no-global-shortcuts
    wait_wayland
    drive=atspi app_env=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
}
# weston with its X11 backend: its screen a window on an Xvfb, with a seat (keyboard and
# pointer). The panel shows no clock, whose ticking would change the pictures.
start_weston() {
    e2e_start_xvfb "$screen"
    printf '%s\n' '[shell]' 'clock-format=none' >"$E2E_TMP/weston.ini"
    chmod 0644 "$E2E_TMP/weston.ini"
    session_bus
    as_user DISPLAY="$DISPLAY"
    start_as_user weston --backend=x11-backend.so --config="$E2E_TMP/weston.ini" --width="${screen%x*}" \
        --height="${screen#*x}" --use-pixman
    wait_wayland
    drive=atspi app_env=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
}
# weston headless: no seat at all.
start_weston-headless() {
    session_bus
    start_as_user weston --backend=headless-backend.so --width=1366 --height=768 --use-pixman --debug
    wait_wayland
    drive=atspi app_env=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
}
start_sway() {
    printf '%s\n' 'xwayland disable' 'output HEADLESS-1 resolution 1366x768' >"$E2E_TMP/sway.conf"
    chmod 0644 "$E2E_TMP/sway.conf"
    session_bus
    as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
    start_as_user sway -c "$E2E_TMP/sway.conf"
    wait_wayland
    export SWAYSOCK
    e2e_until 20 eval 'SWAYSOCK=$(compgen -G "$run/sway-ipc.*.sock") && swaymsg -t get_version >/dev/null 2>&1' ||
        e2e_fail "sway does not answer"
    export WAYLAND_DISPLAY XDG_RUNTIME_DIR=$run
    drive=wtype app_env=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
}

# --- what is measured -----------------------------------------------------------------------
start_program() {
    as_user "${app_env[@]}" QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 CUPS_SERVER="${CUPS_SERVER:-}"
    "${as[@]}" "$VELMOR" >"$E2E_TMP/app.log" 2>&1 &
    E2E_APP_PID=$!
}
# The platform plugin the process loaded.
qt_platform() {
    e2e_until 20 eval 'kill -0 $E2E_APP_PID && grep -q "platforms/libq" /proc/$E2E_APP_PID/maps' 2>/dev/null ||
        e2e_fail "no Qt platform loaded: $(cat "$E2E_TMP/app.log")"
    sed -n 's|.*platforms/libq\([a-z-]*\)\.so$|\1|p' "/proc/$E2E_APP_PID/maps" | head -n1
}
# X: the frame (the window with the manager's borders) and whether the work area holds it.
x_frame() {
    local l=0 r=0 t=0 b=0 x y w h ax ay aw ah inside=no
    read -r l r t b <<<"$(xprop -id "$wid" _NET_FRAME_EXTENTS | grep -o '[0-9].*' | tr -d , || true)"
    # xwininfo, not xdotool, whose position of a reparented window counts the border twice.
    read -r x y w h <<<"$(xwininfo -id "$wid" | awk -F: '/Absolute upper-left [XY]|Width|Height/ { printf "%d ", $2 }')"
    x=$((x - l)) y=$((y - t)) w=$((w + l + r)) h=$((h + t + b))
    read -r ax ay aw ah <<<"$(xprop -root _NET_WORKAREA | grep -o '[0-9].*' | cut -d, -f1-4 | tr -d , || true)"
    [ "$x" -ge "$ax" ] && [ "$y" -ge "$ay" ] && [ $((x + w)) -le $((ax + aw)) ] && [ $((y + h)) -le $((ay + ah)) ] && inside=yes
    echo "${w}×${h} at ${x},${y}; work area ${aw}×${ah} at ${ax},${ay}; whole frame inside: $inside"
}
x_actions() {
    xprop -id "$wid" _NET_WM_ALLOWED_ACTIONS | grep -o '_NET_WM_ACTION_[A-Z_]*' | sed 's/_NET_WM_ACTION_//' |
        tr 'A-Z\n' 'a-z ' | sed 's/ $//'
}
x_icon() {
    local sizes
    sizes=$(xprop -id "$wid" _NET_WM_ICON | grep -ao 'Icon ([0-9]* x [0-9]*)' | tr -dc '0-9x \n' | tr -d ' ' | paste -sd, || true)
    echo "_NET_WM_ICON ${sizes:-unset}"
}
desktop_entry() {
    local dir
    for dir in "$home/.local/share" /usr/local/share /usr/share; do
        [ -e "$dir/applications/org.velmor.Velmor.desktop" ] && { echo "entry in $dir/applications"; return; }
    done
    echo "no org.velmor.Velmor.desktop installed: generic icon"
}

# KWin: frame, actions and desktop id as its scripting interface sees them.
kwin_window() {
    cat >"$work/window.js" <<'EOF'
workspace.clientList().forEach(function (c) {
    if (c.caption !== "Velmor") return;
    var f = c.frameGeometry;
    print("velmor-window " + f.width + "×" + f.height + " at " + f.x + "," + f.y + "|close" +
          (c.minimizable ? " minimize" : "") + (c.maximizable ? " maximize" : "") + "|" + c.desktopFileName);
});
EOF
    as_user
    "${as[@]}" gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript "$work/window.js" velmor >/dev/null &&
        "${as[@]}" gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start >/dev/null || return 0
    e2e_until 10 grep -q 'velmor-window' "$E2E_TMP/desktop.log" || return 0
    IFS='|' read -r frame actions icon <<<"$(sed -n 's/.*velmor-window //p' "$E2E_TMP/desktop.log" | head -n1)"
    frame="$frame; whole frame inside: $(awk -F'[× ,]' '{ print ($4 >= 0 && $5 >= 0 && $4 + $1 <= 1366 && $5 + $2 <= 768) ? "yes" : "no" }' <<<"$frame")"
    icon="app_id $icon; $(desktop_entry)"
}

# --- driving --------------------------------------------------------------------------------
expected=$E2E_TMP/expected.txt
sed 's/$/\r/' "$here/../tests/calc/default_report.txt" | iconv -f UTF-8 -t CP936 >"$expected"
saved=$work/result.txt
# wtype: each call brings its own keymap, and keys sent at once with it can be dropped before
# Qt has taken it: the keys go in one call, after a pause and each 50 ms apart.
keys() {
    local key args=()
    for key; do args+=(-k "$key"); done
    wtype -s 300 -d 50 "${args[@]}"
}
sway_window() { swaymsg -t get_tree | awk -F'"' -v t="$1" '$2 == "name" && $4 == t { found = 1 } END { exit !found }'; }
# True when the window named NAME has the focus (a window's "focused" comes before its name).
sway_focused() {
    swaymsg -t get_tree | awk -F'"' -v t="$1" '$2 == "focused" { f = $3 ~ /true/ } $2 == "name" && $4 == t && f { found = 1 }
        END { exit !found }'
}

# Runs atspi-press.py; says why when it fails (the program may have ended).
atspi() {
    as_user
    "${as[@]}" /usr/bin/python3 "$here/atspi-press.py" "$E2E_APP_PID" "$@" 2>"$E2E_TMP/atspi.log" && return
    kill -0 "$E2E_APP_PID" 2>/dev/null && echo "AT-SPI: $(head -n1 "$E2E_TMP/atspi.log")" ||
        echo "the program ended at '$1'"
    return 1
}
calculate() {
    case $drive in
    xtest) e2e_click "$wid" "${calc[@]}" ;;
    wtype) keys Tab Tab Tab Tab Tab Tab Tab space ;; # from the first box to 计算
    atspi) atspi 计算 ;;
    esac
}
save_report() {
    case $drive in
    xtest)
        e2e_click "$wid" "${save[@]}"
        e2e_until 10 e2e_window_id "Save As" >/dev/null || { echo "no Save As dialog after a click on 保存"; return; }
        e2e_wait_focus "$(e2e_window_id "Save As")"
        xdotool type --delay 10 "$work/result"
        xdotool key --clearmodifiers Return
        # The first Return may only close the completer's list.
        e2e_until 5 test -e "$saved" || xdotool key --clearmodifiers Return ;;
    wtype) # from 计算 past the report and Beta and 打印 to 保存
        keys Tab Tab Tab Tab space
        e2e_until 20 sway_window "Save As" || { echo "no Save As dialog after 保存"; return; }
        wtype -s 300 -d 10 "$work/result"
        keys Return
        e2e_until 5 test -e "$saved" || keys Return ;;
    atspi) atspi 保存 && atspi save "$work/result" || return 0 ;;
    esac
    e2e_until 20 test -e "$saved" || { echo "no file saved"; return; }
    e2e_until 5 cmp -s "$expected" "$saved" && echo "expected bytes" || echo "differs: $(cmp "$expected" "$saved" 2>&1)"
}
print_window() {
    case $drive in
    xtest) e2e_click "$wid" "${print[@]}" ;;
    wtype) # 保存 has the focus back once its dialog has gone
        e2e_until 20 sway_focused Velmor || { echo "the window did not get the focus back"; return; }
        wtype -s 300 -M shift -k Tab -m shift && keys space ;;
    atspi) atspi 打印 || return 0 ;;
    esac
    e2e_until 30 eval '[ -n "$(lpstat -W completed -o TestPDF)" ] && [ -z "$(lpstat -o)" ]' || { echo "no job completed"; return; }
    pdfinfo "$work/print.pdf" | awk '$1 == "Pages:" { p = $2 } $1 == "Page" && $2 == "size:" { s = $3 "×" $5 " pt" }
        END { print p " page" (p == 1 ? "" : "s") ", " s }'
}
# Takes pictures into FILE with COMMAND... until one equals the one before but for a blinking
# text cursor (at most 64 pixels): the screen has settled, the window has repainted.
settled_shot() {
    local shot=$1 previous=$E2E_TMP/previous.png command=("${@:2}")
    rm -f "$shot" "$previous"
    e2e_until 10 eval '{ [ ! -e "$shot" ] || mv "$shot" "$previous"; } && "${command[@]}" && [ -e "$previous" ] &&
        compare -metric AE "$shot" "$previous" null: 2>&1 | awk "{ exit !(\$1 <= 64) }"'
}
# The screen of the X server as FILE (PNG), from Xvfb's frame buffer: import and xwd ask the
# server for each window's pixels and get ARGB windows (Xfce's panels) black or not at all.
x_screen() { settled_shot "$1" /usr/bin/convert "xwd:$E2E_TMP/Xvfb_screen0" "$1"; }
# Headless weston's own screenshot as FILE.
weston_shot() {
    (cd "$work" && rm -f wayland-screenshot-*.png && "${as[@]}" weston-screenshooter) &&
        mv "$(compgen -G "$work/wayland-screenshot-*.png" | head -n1)" "$1"
}
# The part of the screen that differs between two pictures, as a frame: the window as the
# compositor drew it where no one tells its place.
changed_part() {
    /usr/bin/convert "$1" "$2" -compose difference -composite -fuzz 3% -fill white +opaque black -format '%@' info: |
        awk -F'[x+]' -v sw="${screen%x*}" -v sh="${screen#*x}" '{ printf "%d×%d at %d,%d (the picture'"'"'s changed part); whole frame inside: %s",
            $1, $2, $3, $4, ($3 >= 0 && $4 >= 0 && $3 + $1 <= sw && $4 + $2 <= sh) ? "yes" : "no" }'
}
screenshot() {
    local shot=$pictures/$desktop.png
    case $desktop in
    openbox | xfce | mutter-wayland | weston) x_screen "$E2E_TMP/shot.png" && cp "$E2E_TMP/shot.png" "$shot" ;;
    mutter-xwayland) [ -n "${wid:-}" ] && settled_shot "$shot" import -frame -window "$wid" "$shot" ;; # the window with its frame
    sway) settled_shot "$shot" grim "$shot" ;;
    weston-headless) settled_shot "$shot" weston_shot "$shot" ;;
    *) echo "none: the compositor offers no screenshot to outside programs"; return ;;
    esac && [ -s "$shot" ] && /usr/bin/convert "$shot" -colors 64 "PNG8:$shot" && echo "[picture](desktops/$desktop.png)" ||
        echo "none: taking it failed"
}

# --- 关闭 against Xfce's panels ----------------------------------------------------------------
# The windows of type dock that show on the screen, "WIDTH HEIGHT X Y" a line.
docks() {
    local w
    for w in $(xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DOCK || continue
        xwininfo -id "$w" | awk -v sw="${screen%x*}" -v sh="${screen#*x}" '/IsViewable/ { v = 1 }
            /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } /Width:/ { w = $2 }
            /Height:/ { h = $2 } END { if (v && x + w > 0 && y + h > 0 && x < sw && y < sh) print w, h, x, y }'
    done
}
# The panels shown with no window about (a panel that hides itself shows then) and once the
# program is there: 关闭's centre must lie in neither.
dock_row() {
    local shown now="" x y covered
    # The panels grow as their items load: they are read once the screen has settled.
    x_screen "$E2E_TMP/panels.png" || e2e_fail "the screen did not settle"
    e2e_until 20 eval 'shown=$(docks) && [ "$(wc -l <<<"$shown")" = 2 ] && [ "$(docks)" = "$shown" ]' ||
        e2e_fail "Xfce's two panels did not show: $(docks)"
    start_program
    wid=$(e2e_wait_window Velmor)
    e2e_until 10 eval 'now=$(docks) && [ "$(docks)" = "$now" ]' || true
    read -r x y <<<"$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }')"
    x=$((x + close[0])) y=$((y + close[1]))
    covered=$(printf '%s\n%s\n' "$shown" "$now" | awk -v x=$x -v y=$y '$3 <= x && x < $3 + $1 && $4 <= y && y < $4 + $2 {
        print "by " $1 "×" $2 " at " $3 "," $4 }' | sort -u | paste -sd, || true)
    echo "| $screen | $(x_frame) | $x,$y | $(awk '{ printf "%s%s×%s at %s,%s", (NR > 1 ? "; " : ""), $1, $2, $3, $4 }' <<<"$shown") | ${covered:-no} |"
}

# --- the run --------------------------------------------------------------------------------
"start_$desktop"
if [ "$1" = --dock ]; then
    dock_row
    exit 0
fi
e2e_start_cups
lpadmin -p TestPDF -E -v "file://$work/print.pdf" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd -o PageSize=A4
lpadmin -d TestPDF
# Where no one tells the window's place, the picture does: the screen before the program, once
# the compositor has drawn its background (more colours than the pointer alone on black).
if [ "$desktop" = mutter-wayland ] || [ "$desktop" = weston ]; then
    e2e_until 20 eval '[ "$(/usr/bin/convert "xwd:$E2E_TMP/Xvfb_screen0" -format %k info:)" -gt 16 ]' ||
        e2e_fail "$desktop drew nothing on its screen"
    x_screen "$E2E_TMP/empty.png"
fi
start_program
platform=$(qt_platform)
# A program that took Wayland where X was offered too is driven as a Wayland client.
[ "$drive" != xtest ] || [ "$platform" = xcb ] || drive=atspi
case $drive in
xtest)
    wid=$(e2e_wait_window Velmor)
    frame=$(x_frame) actions=$(x_actions) icon=$(x_icon) ;;
wtype)
    e2e_until 20 sway_window Velmor || e2e_fail "sway lists no window Velmor"
    frame=$(swaymsg -t get_tree | jq -r '.. | objects | select(.app_id? == "org.velmor.Velmor") |
        "\(.rect.width)×\(.rect.height + .deco_rect.height) at \(.rect.x),\(.rect.y - .deco_rect.height); whole frame inside: \(
        if .rect.x >= 0 and .rect.y - .deco_rect.height >= 0 and .rect.x + .rect.width <= 1366 and .rect.y + .rect.height <= 768
        then "yes" else "no" end)"')
    actions="close (sway: no minimise or maximise)"
    icon="app_id $(swaymsg -t get_tree | jq -r '.. | objects | select(.name? == "Velmor") | .app_id'); $(desktop_entry)" ;;
atspi)
    frame="not measurable" actions="not measurable" icon="app_id set by the program, not readable here; $(desktop_entry)"
    e2e_until 30 eval '"${as[@]}" /usr/bin/python3 -c "import pyatspi, sys; sys.exit(not any(a and a.get_process_id() == $E2E_APP_PID for a in pyatspi.Registry.getDesktop(0)))"' ||
        e2e_fail "the program did not appear on the accessibility bus" ;;
esac
[ "$desktop" != kwin ] || kwin_window
calculated=$(calculate)
picture=$(screenshot)
[ ! -e "$E2E_TMP/empty.png" ] || frame=$(changed_part "$E2E_TMP/empty.png" "$E2E_TMP/shot.png")
[ "$frame" != "not measurable" ] || not_measured+=("frame: the compositor tells no outside program where windows are")
saving=$calculated$(save_report)
printing=$(print_window)
if ! kill -0 "$E2E_APP_PID" 2>/dev/null; then
    wait "$E2E_APP_PID" || { status=$? && not_measured+=("the program ended during the drive: status $status$(
        [ $status -le 128 ] || echo " (SIG$(kill -l $((status - 128))))")"); }
    E2E_APP_PID=""
fi
# Only the row joins with ";": the cleanup that follows splits its list of processes on spaces.
(IFS=';' && echo "| $desktop | $platform | $frame | $actions | $icon | $picture | $saving | $printing | ${not_measured[*]:-} |")
