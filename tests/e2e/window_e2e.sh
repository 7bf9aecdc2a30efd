#!/usr/bin/env bash
# The real program on a private X server: the window appears with its size, 计算 fills the
# report box with the default report (read back through the clipboard), a bad Beta brings up
# the message box and the window survives it, and 关闭 ends the program with exit code 0.
#
# Environment: VELMOR (the program), E2E_ARTIFACT_DIR (where the screenshot goes).
source "$(dirname "$0")/lib.sh"

e2e_require Xvfb xdotool xclip import
: "${VELMOR:?VELMOR must name the program}"
artifacts=${E2E_ARTIFACT_DIR:-$E2E_TMP}
mkdir -p "$artifacts"

# Points inside the window: the group box starts at (8, 8); these are the controls' centres.
calc_x=389 calc_y=276       # 计算
close_x=341 close_y=332     # 关闭
memo_x=548 memo_y=140       # the report box
beta_x=356 beta_y=218       # EditBeta

expected=$E2E_DEFAULT_REPORT

# Selects the whole report box and copies it to FILE.
copy_report() {
    e2e_click "$wid" "$memo_x" "$memo_y"
    e2e_copy_to "$1" ctrl+a
}

e2e_start_xvfb
# The program takes no options: Qt's own (-title, -geometry) must change nothing either.
e2e_start_app "$VELMOR" -title Wrong -geometry 100x100+0+0
wid=$(e2e_wait_window Velmor)

size=$(e2e_window_size "$wid")
[ "$size" = 681x370 ] || e2e_fail "client size is $size, not 681x370"
position=$(xdotool getwindowgeometry "$wid" | awk '/Position:/{print $2}')
[ "$position" = 441,482 ] || e2e_fail "the window stands at $position, not 441,482"
e2e_log "window $wid, $size at $position"

# 计算 and the report, compared byte for byte (every line ends in a line break).
e2e_click "$wid" "$calc_x" "$calc_y"
copy_report "$E2E_TMP/report.txt"
if ! cmp -s "$expected" "$E2E_TMP/report.txt"; then
    diff "$expected" "$E2E_TMP/report.txt" >&2 || true
    e2e_fail "the report box does not hold the default report"
fi
e2e_log "计算 gave the 29 lines"
# Back to 计算 for the picture, so the report box shows the report as it was written.
e2e_click "$wid" "$calc_x" "$calc_y"
sleep 0.2
e2e_screenshot "$wid" "$artifacts/window-after-calculate.png"
e2e_log "screenshot: $artifacts/window-after-calculate.png"

# A bad Beta: the message box appears (its text is checked by the window tests; a message box
# offers no copy here) and goes again with Enter on its OK button.
e2e_click "$wid" "$beta_x" "$beta_y"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "5x0"
e2e_click "$wid" "$calc_x" "$calc_y"
box=$(e2e_wait_window Velmor1.0)
[ "$box" != "$wid" ] || e2e_fail "the message box is the main window"
sleep 0.2
e2e_screenshot "$box" "$artifacts/message-box.png"
e2e_log "message box $box, $(e2e_window_size "$box")"
xdotool key --clearmodifiers Return
e2e_wait_window_gone Velmor1.0
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program ended with the message box"

# The window survives: still there and still answering, its report untouched.
[ "$(e2e_wait_window Velmor)" = "$wid" ] || e2e_fail "the main window changed"
copy_report "$E2E_TMP/after-error.txt"
cmp -s "$expected" "$E2E_TMP/after-error.txt" || e2e_fail "the report changed after the error"

# 关闭 ends the program with exit code 0.
e2e_click "$wid" "$close_x" "$close_y"
e2e_wait_app_exit
[ "$E2E_APP_STATUS" -eq 0 ] || e2e_fail "exit code $E2E_APP_STATUS after 关闭"
e2e_log "关闭: exit code 0"

# Under a scale factor the window grows but stays on its screen pixel.
QT_SCALE_FACTOR=2 e2e_start_app "$VELMOR"
wid=$(e2e_wait_window Velmor)
size=$(e2e_window_size "$wid")
position=$(xdotool getwindowgeometry "$wid" | awk '/Position:/{print $2}')
[ "$size at $position" = "1362x740 at 441,482" ] || e2e_fail "scaled by 2: $size at $position"
e2e_log "scaled by 2: $size at $position"
