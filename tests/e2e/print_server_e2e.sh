#!/usr/bin/env bash
# 打印 against the print server as it is, on a private X server and a private CUPS server:
# - the default queue's own paper: a job on a Letter queue is Letter, on an A4 queue A4, and the
#   picture has the same printed size on both;
# - a server that accepts connections but never answers (cupsd stopped with SIGSTOP): the window
#   keeps repainting while 打印 waits, a system error for the timeout appears within about 10 s,
#   a second 打印 is refused as "Printing in progress", and 关闭 ends the process within 2 s with
#   exit code 0, also while 打印 is still waiting.
# The measured times are logged.
#
# Environment: VELMOR (the program), VELMOR_BUILD_DIR (the build tree: the work folder, and the
# helper velmor_error_box that shows a given message as the program does).
export PATH="$PATH:/usr/sbin:/sbin"
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cups/cups.sh"

e2e_require Xvfb xdotool xclip import compare cupsd lpadmin lpstat pdfinfo pdfimages
: "${VELMOR:?VELMOR must name the program}"
: "${VELMOR_BUILD_DIR:?VELMOR_BUILD_DIR must name the build tree}"
error_box="$VELMOR_BUILD_DIR/tests/app/output/velmor_error_box"
[ -x "$error_box" ] || e2e_fail "the helper $error_box has not been built"

work="$VELMOR_BUILD_DIR/e2e-work/print_server"
rm -rf "$work"
mkdir -p "$work/out" "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LC_ALL=C.UTF-8

# The server is woken and stopped by its PID before lib.sh cleans up the rest (see
# save_print_e2e.sh for the set +e).
# shellcheck disable=SC2154 # e2e_status is assigned inside the trap itself
trap 'e2e_status=$?; [ -z "$cups_pid" ] || kill -CONT "$cups_pid" 2>/dev/null; cups_stop; set +e;
      (exit $e2e_status); e2e_cleanup' EXIT

# Points inside the window (the group box starts at (8, 8)).
print_x=309 print_y=276 # 打印
close_x=341 close_y=332 # 关闭
r1_x=380 r1_y=36        # EditR1

now_ms() { date +%s%3N; }

# Starts the program; sets wid to its window's id once it is shown, and focuses it.
start_velmor() {
    e2e_start_app "$VELMOR"
    wid=$(e2e_wait_window Velmor)
    xdotool windowfocus --sync "$wid" 2>/dev/null || true
}

# Waits for the error box, saves a picture of it as FILE and closes it.
take_box() {
    local box
    box=$(e2e_wait_window Velmor1.0 "${BOX_TIMEOUT:-20}")
    sleep 0.2
    e2e_screenshot "$box" "$1"
    xdotool key --clearmodifiers Return
    e2e_wait_window_gone Velmor1.0
}

# Fails unless the box in FILE shows MESSAGE: the helper shows the same message as the program
# does, and the two pictures must be equal (the box has no text that can be read otherwise).
box_says() {
    local file=$1 message=$2 pid differing
    "$error_box" "$message" >"$E2E_TMP/helper.log" 2>&1 &
    pid=$!
    take_box "$E2E_TMP/expected-box.png"
    wait "$pid" || e2e_fail "velmor_error_box ended with $?"
    differing=$(compare -metric AE "$file" "$E2E_TMP/expected-box.png" null: 2>&1 || true)
    [ "$differing" = 0 ] || e2e_fail "the box does not say '$message' ($differing pixels differ)"
}

# Clicks 关闭 and checks that the process ends with 0 within 2 s; sets closed_ms to the time.
close_within_2s() {
    local start
    start=$(now_ms)
    e2e_click "$wid" "$close_x" "$close_y"
    e2e_wait_app_exit 5
    closed_ms=$(($(now_ms) - start))
    [ "$E2E_APP_STATUS" = 0 ] || e2e_fail "the program ended with $E2E_APP_STATUS"
    [ "$closed_ms" -le 2000 ] || e2e_fail "the program took ${closed_ms} ms to end"
}

cups_start "$work/cups"
cups_add_pdf_queue Letter "$work/out/Letter.pdf" default
cups_add_pdf_queue A4 "$work/out/A4.pdf"
lpadmin -p A4 -o PageSize=A4
e2e_start_xvfb

# --- the queue's own paper ----------------------------------------------------------------
for queue in Letter A4; do
    lpadmin -d "$queue"
    start_velmor
    e2e_click "$wid" "$print_x" "$print_y"
    for _ in $(seq 1 200); do
        [ -n "$(lpstat -W completed -o "$queue" 2>/dev/null)" ] && [ -z "$(lpstat -o)" ] && break
        sleep 0.05
    done
    [ -s "$work/out/$queue.pdf" ] || e2e_fail "nothing printed on $queue"
    close_within_2s
    size=$(pdfinfo "$work/out/$queue.pdf" | sed -n 's/^Page size: *\([0-9.]* x [0-9.]*\) pts.*/\1/p')
    # The image's size in pixels and its resolution on the page give its printed size.
    image=$(pdfimages -list "$work/out/$queue.pdf" | tail -n +3 | awk '{print $4, $5, $13, $14}')
    e2e_log "$queue queue: page $size pt, image (w h x-ppi y-ppi) $image"
    case $queue in
    Letter) [ "$size" = "612 x 792" ] || e2e_fail "the Letter queue's job is $size pt" ;;
    A4) [ "$size" = "595 x 842" ] || [ "$size" = "595.276 x 841.89" ] || e2e_fail "the A4 queue's job is $size pt" ;;
    esac
    [ "$image" = "681 370 96 96" ] || e2e_fail "the picture on $queue is not 681 x 370 at 96 ppi"
done

# --- a print server that never answers ----------------------------------------------------
kill -STOP "$cups_pid"
start_velmor
import -window "$wid" "$E2E_TMP/before.png"
start=$(now_ms)
e2e_click "$wid" "$print_x" "$print_y"
sleep 1
# The window takes a click and a key and shows them while 打印 waits for the server.
e2e_click "$wid" "$r1_x" "$r1_y"
xdotool key --clearmodifiers End Z
sleep 1
import -window "$wid" "$E2E_TMP/waiting.png"
if xdotool search --onlyvisible --name '^Velmor1.0$' >/dev/null 2>&1; then
    e2e_fail "the box came before the repaint could be checked"
fi
crop=121x20+320+26
changed=$(compare -metric AE -extract "$crop" "$E2E_TMP/before.png" "$E2E_TMP/waiting.png" null: 2>&1 ||
    true)
[ "$changed" != 0 ] || e2e_fail "the window did not repaint while 打印 waited"
BOX_TIMEOUT=15 take_box "$E2E_TMP/timeout-box.png"
box_ms=$(($(now_ms) - start))
[ "$box_ms" -le 11000 ] || e2e_fail "the timeout message took ${box_ms} ms"
e2e_log "stopped server: EditR1 repainted ($changed pixels) while waiting; the box after ${box_ms} ms"

# The first request is still with the server: a second one is refused, and 关闭 ends at once.
e2e_click "$wid" "$print_x" "$print_y"
take_box "$E2E_TMP/busy-box.png"
close_within_2s
e2e_log "stopped server: 打印 again refused, 关闭 ended the process in ${closed_ms} ms"

# 关闭 while 打印 is still waiting for the server.
start_velmor
e2e_click "$wid" "$print_x" "$print_y"
sleep 1
close_within_2s
e2e_log "stopped server: 关闭 during 打印 ended the process in ${closed_ms} ms"
kill -CONT "$cups_pid"

box_says "$E2E_TMP/timeout-box.png" $'System Error.  Code: 110.\r\nConnection timed out'
box_says "$E2E_TMP/busy-box.png" "Printing in progress"
e2e_log "the boxes said 'System Error.  Code: 110.' / 'Connection timed out.' and 'Printing in progress.'"
