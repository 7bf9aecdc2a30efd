#!/usr/bin/env bash
# The real program on private X and CUPS servers, for what only they show: no display to open,
# the window's place and size (also scaled, and on small screens under openbox), its icon, 计算
# and 保存 through the real dialog, 打印 (one lossless page of the window's pixels at the
# printable corner, the queue's paper; one job for a held Enter), every failure of the print
# server told in a box, a job given up that is cancelled, and 关闭 ending the process.
# Environment: VELMOR (the program), VELMOR_BUILD_DIR (work files), E2E_ARTIFACT_DIR (pictures).
source "$(dirname "$0")/lib.sh"
e2e_require Xvfb xdotool xprop xwininfo xev openbox import compare convert cupsd lpadmin \
    lpstat pdfinfo pdfimages pdftoppm iconv cmp od cupsreject cupsaccept dbus-daemon
: "${VELMOR:?}" "${VELMOR_BUILD_DIR:?}" "${E2E_ARTIFACT_DIR:=$E2E_TMP}"
work=$VELMOR_BUILD_DIR/e2e-work/velmor
rm -rf "$work"
mkdir -p "$work/saved" "$work/out" "$work/home" "$E2E_ARTIFACT_DIR"
# The file dialog records its history in the user's settings: keep the test's out of them.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config LC_ALL=C.UTF-8

start_velmor() {
    "$VELMOR" "$@" >>"$E2E_TMP/app.log" 2>&1 &
    E2E_APP_PID=$!
    wid=$(e2e_wait_window Velmor)
}
# Clicks 关闭: the process must end with 0 within 2 s.
close_velmor() {
    e2e_click "$wid" "${close[@]}"
    e2e_wait_app_exit 2
    [ "$E2E_APP_STATUS" = 0 ] || e2e_fail "关闭 ended the program with $E2E_APP_STATUS: $(tail -n 40 "$E2E_TMP/app.log")"
}
# Waits up to SECONDS for the error box, checks its text (CR LF read as LF) against TEXT, and
# closes it with Return, or with CLOSE (a command taking the box's id).
expect_box() {
    local box text="" want=$2
    box=$(e2e_wait_window Velmor1.0 "$1")
    e2e_wait_focus "$box"
    # The box may reach the accessibility bus after its window is shown.
    e2e_until 10 eval 'text=$(e2e_window_text Velmor1.0 | tr -d "\r") && [ "$text" = "$want" ]' ||
        e2e_fail "the box says '$text', not '$want'"
    ${3:-xdotool key --clearmodifiers Return} ${3:+"$box"}
    e2e_wait_window_gone Velmor1.0
}
# 打印, then the error box saying TEXT.
print_box() { e2e_click "$wid" "${print[@]}"; expect_box 20 "$1"; }
# Jobs that ended on QUEUE, printed or not.
ended() { lpstat -W completed -o "$1" | wc -l; }
# 打印 on QUEUE; waits for its job to complete and checks its paper and picture.
print_on() {
    local queue=$1 pdf=$work/out/$1.pdf info
    e2e_click "$wid" "${print[@]}"
    e2e_until 15 eval '[ -n "$(lpstat -W completed -o "$queue")" ] && [ -z "$(lpstat -o)" ]' ||
        e2e_fail "no print job completed on $1"
    [ "$(ended "$1")" = 1 ] || e2e_fail "not one job: $(lpstat -W completed -o)"
    info=$(pdfinfo "$pdf" | awk -F': *' '$1 == "Title" || $1 == "Pages" { printf "%s=%s ", $1, $2 }
        $1 == "Page size" { split($2, s, " "); printf "%.0f x %.0f pt", s[1], s[3] }')
    [ "$info" = "Title= Pages=1 $2 pt" ] || e2e_fail "the document on $1: $info"
    # rgb 8-bit "image" is lossless (not jpeg); 96 ppi is the window's size on a 96-dpi screen.
    [ "$(pdfimages -list "$pdf" | awk 'NR > 2 { print $4, $5, $6, $8, $9, $13, $14 }')" = \
        "681 370 rgb 8 image 96 96" ] || e2e_fail "the images on $1: $(pdfimages -list "$pdf")"
}

# --- no display to open: one line on standard error and exit 1, not Qt's abort ---------------
while IFS='|' read -r x wayland line; do
    status=0
    env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY ${x:+DISPLAY=$x} ${wayland:+WAYLAND_DISPLAY=$wayland} \
        XDG_RUNTIME_DIR="$E2E_TMP" "$VELMOR" 2>"$E2E_TMP/stderr" || status=$?
    [ "$status $(cat "$E2E_TMP/stderr")" = "1 $line" ] ||
        e2e_fail "DISPLAY=$x WAYLAND_DISPLAY=$wayland: exit $status, $(cat "$E2E_TMP/stderr")"
done <<'EOF'
||velmor: cannot open a display (DISPLAY and WAYLAND_DISPLAY are unset)
:99-bogus||velmor: cannot open the X display ":99-bogus"
|velmor-none|velmor: cannot open the Wayland display "velmor-none"
:99-bogus|velmor-none|velmor: cannot open the X display ":99-bogus" nor the Wayland display "velmor-none"
EOF

# The report file as a Chinese Windows machine writes it: code page 936, CR LF after each line.
expected=$E2E_TMP/expected.txt
sed 's/$/\r/' "$(dirname "$0")/../calc/default_report.txt" | iconv -f UTF-8 -t CP936 >"$expected"

e2e_start_cups
# Queues with the Generic PDF driver writing every job to a file. The server's default is set with
# lpadmin -d: lpoptions -d would write ~/.cups and hide the server's choice.
for queue in Letter A4; do
    lpadmin -p $queue -E -v "file://$work/out/$queue.pdf" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
done
lpadmin -p A4 -o PageSize=A4
lpadmin -d Letter
# Room for the window scaled by 2 at its place.
e2e_start_xvfb 1920x1280
e2e_start_atspi

# --- the window; 计算, 保存 through the real dialog, a name typed without extension -------------
# Left to choose, the program takes the X display, not an unreachable Wayland one.
QT_QPA_PLATFORM="" WAYLAND_DISPLAY=velmor-none start_velmor -title Wrong -geometry 100x100+0+0
[ "$(e2e_geometry "$wid")" = "681x370 at 441,482" ] || e2e_fail "the window is $(e2e_geometry "$wid")"
# The icons task bars show: the 32 x 32 picture and its design at 64 and 128 pixels, each its
# size and its pixels as ARGB numbers.
icon=$(for picture in velmor icons/velmor-64 icons/velmor-128; do
    file=$(dirname "$0")/../../res/$picture.png
    convert "$file" -format ', %w, %h' info:
    convert "$file" -depth 8 rgba:- | od -An -v -tu1 -w4 | awk '{ printf ", %.0f", (($4 * 256 + $1) * 256 + $2) * 256 + $3 }'
done)
[ "$(xprop -id "$wid" -f _NET_WM_ICON 32c _NET_WM_ICON)" = "_NET_WM_ICON(CARDINAL) = ${icon#, }" ] ||
    e2e_fail "the window's icons: $(xprop -id "$wid" -f _NET_WM_ICON 32c _NET_WM_ICON | cut -c1-80)"
e2e_click "$wid" "${calc[@]}"
e2e_click "$wid" "${save[@]}"
e2e_wait_focus "$(e2e_wait_window "Save As")"
xdotool type --delay 10 "$work/saved/result"
xdotool key --clearmodifiers Return
e2e_until 10 cmp -s "$expected" "$work/saved/result.txt" ||
    e2e_fail "result.txt is not the report in GBK with CR LF: $(cmp "$expected" "$work/saved/result.txt" 2>&1 || true)"
e2e_wait_window_gone "Save As"

# --- 打印 on the Letter queue: the picture is the window's, placed at the printable corner ----
print_on Letter "612 x 792"
import -window "$wid" "$E2E_TMP/window.png"
close_velmor
pdf=$work/out/Letter.pdf
# At Qt's 1200 dpi, 681 x 370 pixels are 8513 x 4625 dots. The edges of the drawn (non-white)
# area around both corners must lie within a dot of where they belong.
read -r llx _ _ ury <<<"$(sed -n 's/^\*ImageableArea Letter\/[^:]*: *"\(.*\)"/\1/p' "$E2E_TMP/cups/ppd/Letter.ppd")"
read -r left top <<<"$(awk -v x="$llx" -v y="$ury" 'BEGIN { printf "%.0f %.0f", x * 50 / 3, (792 - y) * 50 / 3 }')"
# The drawn part of the 64 x 64 dots at page dot (X, Y) as "left top right bottom"; a white
# frame keeps -trim from taking the crop's corner colour as the background.
drawn() {
    pdftoppm -r 1200 -x "$1" -y "$2" -W 64 -H 64 -png -singlefile "$pdf" "$E2E_TMP/corner"
    convert "$E2E_TMP/corner.png" -bordercolor white -border 1 -format '%@' info: |
        awk -F'[x+]' -v x="$1" -v y="$2" '{ print x + $3 - 1, y + $4 - 1, x + $3 - 1 + $1, y + $4 - 1 + $2 }'
}
read -r l t _ _ <<<"$(drawn $((left - 32)) $((top - 32)))"
read -r _ _ r b <<<"$(drawn $((left + 8513 - 32)) $((top + 4625 - 32)))"
awk -v g="$l $t $r $b" -v w="$left $top $((left + 8513)) $((top + 4625))" 'BEGIN {
    split(g, a); split(w, e); for (i = 1; i <= 4; i++) if (a[i] - e[i] > 1 || e[i] - a[i] > 1) exit 1
}' || e2e_fail "the picture covers dots $l,$t to $r,$b, not $left,$top to $((left + 8513)),$((top + 4625))"
pdfimages -png "$pdf" "$E2E_ARTIFACT_DIR/printed"
differing=$(compare -metric AE "$E2E_ARTIFACT_DIR/printed-000.png" "$E2E_TMP/window.png" null: 2>&1 || true)
[ "$differing" = 0 ] || e2e_fail "$differing pixels of the printed picture differ from the window"

# --- scaled by 2: larger, at the same device pixel --------------------------------------------
QT_SCALE_FACTOR=2 start_velmor
[ "$(e2e_geometry "$wid")" = "1362x740 at 441,482" ] || e2e_fail "scaled by 2: $(e2e_geometry "$wid")"
e2e_click "$wid" $((2 * close[0])) $((2 * close[1])) # 关闭
e2e_wait_app_exit 2

# --- the A4 queue: its own paper, the picture at the same printed size ------------------------
lpadmin -d A4
start_velmor
print_on A4 "595 x 842"
# 打印 has the focus. Enter held for 2 s (auto-repeating) sends one job.
xdotool keydown Return
sleep 2
xdotool keyup Return
e2e_until 15 eval '[ "$(ended A4)" -ge 2 ] && [ -z "$(lpstat -o)" ]' || e2e_fail "Enter sent no job"
[ "$(ended A4)" = 2 ] || e2e_fail "Enter held sent $(($(ended A4) - 1)) jobs"
# --- failures once the printer is chosen: a queue not accepting jobs, a printer deleted --------
cupsreject A4
print_box $'System Error.  Code: 1286.\nserver-error-not-accepting-jobs.'
cupsaccept A4
lpadmin -x A4
print_box "Printer selected is not valid."
close_velmor

# --- a print server that stops answering once the printer is chosen: the window repaints, the
# box comes; the job reaches the server when it resumes and is cancelled, and a Return sent to
# the box (whose release then finds no window: the key stays down and repeats) starts nothing.
lpadmin -d Letter
start_velmor
e2e_click "$wid" "${print[@]}"
e2e_until 15 eval '[ "$(ended Letter)" = 2 ] && [ -z "$(lpstat -o)" ]' || e2e_fail "no second job on Letter"
kill -STOP "$E2E_CUPS_PID"
import -window "$wid" "$E2E_TMP/before.png"
e2e_click "$wid" "${print[@]}"
sleep 1
e2e_click "$wid" "${r1[@]}"
xdotool key --clearmodifiers End Z
sleep 1
import -window "$wid" "$E2E_TMP/waiting.png"
! e2e_window_id Velmor1.0 >/dev/null || e2e_fail "the box came before the repaint could be checked"
changed=$(compare -metric AE -extract 121x20+320+26 "$E2E_TMP/before.png" "$E2E_TMP/waiting.png" null: 2>&1 || true)
[ "$changed" != 0 ] || e2e_fail "EditR1 did not repaint while 打印 waited"
xdotool key --clearmodifiers shift+Tab shift+Tab shift+Tab # the focus back on 打印
e2e_wait_window Velmor1.0 15 >/dev/null
kill -CONT "$E2E_CUPS_PID"
# xdotool fails on the release: the box is gone.
sent_to() { xdotool key --window "$1" Return 2>/dev/null || true; }
expect_box 5 $'System Error.  Code: 110.\nConnection timed out.' sent_to
sleep 2
xdotool keyup Return
e2e_until 15 eval '[ "$(ended Letter)" -ge 3 ] && [ -z "$(lpstat -o)" ]' || e2e_fail "the given-up job is still queued: $(lpstat -o)"
[ "$(ended Letter)" = 3 ] || e2e_fail "$(($(ended Letter) - 3)) more jobs after the timeout"
close_velmor
# 关闭 ends the program while 打印 still waits for a server that never answers.
kill -STOP "$E2E_CUPS_PID"
start_velmor
e2e_click "$wid" "${print[@]}"
sleep 1
close_velmor

kill -CONT "$E2E_CUPS_PID"

# --- small screens under openbox: an axis on which the frame does not fit the work area is
# centred in it, the other keeps the designed place; the frame is shown there at once (no move
# after mapping: the borders were known before) ---------------------------------------------
while read -r screen across down; do
    e2e_start_xvfb "$screen"
    xev -root -event substructure >"$E2E_TMP/root-events" &
    E2E_SERVER_PIDS="$! $E2E_SERVER_PIDS"
    e2e_start_wm openbox --sm-disable
    e2e_until 10 test -s "$E2E_TMP/root-events" || e2e_fail "xev saw openbox start no window"
    start_velmor
    read -r left right top bottom <<<"$(xprop -id "$wid" _NET_FRAME_EXTENTS | sed 's/.*=//; s/,//g')"
    x=441 y=482
    [ "$across" = kept ] || x=$(((${screen%x*} - left - 681 - right) / 2))
    [ "$down" = kept ] || y=$(((${screen#*x} - top - 370 - bottom) / 2))
    # xdotool counts the borders twice here; xwininfo does not.
    inside=$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width/ { w = $2 } /Height/ { h = $2 } END { print w "x" h " at " x "," y }')
    [ "$inside" = "681x370 at $((x + left)),$((y + top))" ] ||
        e2e_fail "$screen, borders $left $right $top $bottom: the window is $inside"
    # The frame's moves after it was mapped, as the root window's events tell them.
    frame=$(xwininfo -tree -id "$wid" | awk '/Parent window id/ { print $4 }')
    moves=$(awk -v frame="$frame," '/^(Map|Configure)Notify/ { kind = $1; getline; if ($4 != frame) next
        if (kind == "MapNotify") shown = at; else if (shown == "") at = $5; else if ($5 != shown) print $5 }' \
        "$E2E_TMP/root-events")
    [ -z "$moves" ] || e2e_fail "$screen: the frame moved after it showed: $moves"
    close_velmor
done <<'EOF'
1366x768 kept centred
1024x600 centred centred
EOF
