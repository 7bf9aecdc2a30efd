#!/usr/bin/env bash
# The real program on a private X server and a private CUPS server, used as a person uses it:
# the window where and as large as it belongs (also scaled by 2, Qt's options ignored), 计算 and
# the report through the clipboard, 保存 through the real dialog (GBK, CR LF; the second save
# offers the path and replaces a longer file), 打印 (one page, one lossless image of the
# window's pixels at the printable corner, at its size; the queue's own paper), no default
# printer, a print server that never answers (cupsd stopped), a bad input, and 关闭.
# Environment: VELMOR (the program), VELMOR_BUILD_DIR (work files), E2E_ARTIFACT_DIR (pictures).
source "$(dirname "$0")/lib.sh"
e2e_require Xvfb xdotool xclip import compare convert cupsd lpadmin lpstat pdfinfo pdfimages \
    pdftoppm iconv cmp
: "${VELMOR:?}" "${VELMOR_BUILD_DIR:?}" "${E2E_ARTIFACT_DIR:=$E2E_TMP}"
work=$VELMOR_BUILD_DIR/e2e-work/velmor
rm -rf "$work"
mkdir -p "$work/saved" "$work/out" "$work/home" "$E2E_ARTIFACT_DIR"
# The file dialog records its history in the user's settings: keep the test's out of them.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config LC_ALL=C.UTF-8

# Centres of the controls inside the window.
calc=(389 276) print=(309 276) save=(621 292) close=(341 332) memo=(548 140) beta=(356 218) r1=(380 36)
now_ms() { date +%s%3N; }
start_velmor() {
    e2e_start_app "$VELMOR" "$@"
    wid=$(e2e_wait_window Velmor)
}
# Clicks 关闭: the process must end with 0 within 2 s.
close_velmor() {
    local start=$(now_ms)
    e2e_click "$wid" "${close[@]}"
    e2e_wait_app_exit 5
    [ "$E2E_APP_STATUS" = 0 ] || e2e_fail "关闭 ended the program with $E2E_APP_STATUS"
    start=$(($(now_ms) - start))
    [ "$start" -le 2000 ] || e2e_fail "关闭 took $start ms to end the program"
}
# Waits up to SECONDS (20) for the error box, sets box_width, and closes it with Return.
expect_box() {
    local box
    box=$(e2e_wait_window Velmor1.0 "${1:-20}")
    [ "$box" != "$wid" ] || e2e_fail "the error box is the main window"
    box_width=$(e2e_geometry "$box" | cut -dx -f1)
    e2e_wait_focus "$box"
    xdotool key --clearmodifiers Return
    e2e_wait_window_gone Velmor1.0
}
report_box() {
    e2e_click "$wid" "${memo[@]}"
    e2e_copy ctrl+a
}
# 打印 on QUEUE; waits for its job to complete.
print_on() {
    local queue=$1 start
    start=$(now_ms)
    e2e_click "$wid" "${print[@]}"
    e2e_until 15 eval '[ -n "$(lpstat -W completed -o "$queue")" ] && [ -z "$(lpstat -o)" ]' ||
        e2e_fail "no print job completed on $queue"
    e2e_log "打印 on $queue: $(($(now_ms) - start)) ms from the click to the completed job"
}
page_size() { pdfinfo "$1" | sed -n 's/^Page size: *\([0-9.]* x [0-9.]*\) pts.*/\1/p'; }
# The images in the PDF as "width height colour bpc encoding x-ppi y-ppi", one a line.
images() { pdfimages -list "$1" | awk 'NR > 2 { print $4, $5, $6, $8, $9, $13, $14 }'; }

# The report file as a Chinese Windows machine writes it: code page 936, CR LF after each line.
expected=$E2E_TMP/expected.txt
sed 's/$/\r/' "$E2E_DEFAULT_REPORT" | iconv -f UTF-8 -t CP936 >"$expected"
[ "$(grep -c $'\r$' "$expected")" = 29 ] || e2e_fail "the expected report is not 29 lines"

e2e_start_cups
e2e_add_pdf_queue Letter "$work/out/Letter.pdf"
e2e_add_pdf_queue A4 "$work/out/A4.pdf"
lpadmin -p A4 -o PageSize=A4
lpadmin -d Letter
e2e_start_xvfb

# --- the window; 计算 ---------------------------------------------------------------------
start_velmor -title Wrong -geometry 100x100+0+0
[ "$(e2e_geometry "$wid")" = "681x370 at 441,482" ] || e2e_fail "the window is $(e2e_geometry "$wid")"
e2e_click "$wid" "${calc[@]}"
report_box >"$E2E_TMP/report.txt"
cmp -s "$E2E_DEFAULT_REPORT" "$E2E_TMP/report.txt" ||
    e2e_fail "the report box does not hold the default report: $(diff "$E2E_DEFAULT_REPORT" "$E2E_TMP/report.txt")"

# --- 保存 twice: a name typed without extension, then over a longer file -------------------
save() {
    local start
    e2e_click "$wid" "${save[@]}"
    e2e_wait_focus "$(e2e_wait_window "Save As")"
    [ -z "${1:-}" ] || xdotool type --delay 10 "$1"
    [ "$(e2e_copy ctrl+a)" = "${1:-result.txt}" ] || e2e_fail "the name box holds '$(cat "$E2E_TMP/clip")'"
    start=$(now_ms)
    xdotool key --clearmodifiers Return
    e2e_until 10 eval '[ "$(stat -c %s "$work/saved/result.txt" 2>/dev/null)" = "$(stat -c %s "$expected")" ]' ||
        e2e_fail "result.txt did not get the report's size"
    e2e_wait_window_gone "Save As"
    cmp "$expected" "$work/saved/result.txt" || e2e_fail "result.txt is not the report in GBK with CR LF"
    [ "$(ls -A "$work/saved")" = result.txt ] || e2e_fail "the folder holds $(ls -A "$work/saved")"
    e2e_log "保存: $(stat -c %s "$expected") bytes, $(($(now_ms) - start)) ms from Return"
}
save "$work/saved/result"
{ cat "$expected" "$expected"; printf 'an older, longer file\r\n'; } >"$work/saved/result.txt"
save

# --- 打印 on the Letter queue -----------------------------------------------------------------
pdf=$work/out/Letter.pdf
print_on Letter
import -window "$wid" "$E2E_TMP/window.png"
[ "$(lpstat -W completed -o | wc -l)" = 1 ] || e2e_fail "not one job: $(lpstat -W completed -o)"
info=$(pdfinfo "$pdf")
grep -q '^Pages: *1$' <<<"$info" || e2e_fail "not one page: $info"
grep -q '^Title: *$' <<<"$info" || e2e_fail "the document has a name: $(grep '^Title' <<<"$info")"
[ "$(page_size "$pdf")" = "612 x 792" ] || e2e_fail "the Letter queue's page is $(page_size "$pdf") pt"
# rgb 8-bit "image" is lossless (not jpeg); 96 ppi is the window's size on a 96-dpi screen.
[ "$(images "$pdf")" = "681 370 rgb 8 image 96 96" ] || e2e_fail "the PDF's images: $(images "$pdf")"
# The picture's corner is the printable area's: at Qt's 1200 dpi, 681 x 370 pixels are
# 8513 x 4625 dots. The edges of the drawn (non-white) area around both corners must lie
# within a dot of where they belong.
read -r llx _ _ ury <<<"$(sed -n 's/^\*ImageableArea Letter\/[^:]*: *"\(.*\)"/\1/p' "$E2E_TMP/cups/ppd/Letter.ppd")"
left=$(awk -v x="$llx" 'BEGIN { printf "%.0f", x * 1200 / 72 }')
top=$(awk -v y="$ury" 'BEGIN { printf "%.0f", (792 - y) * 1200 / 72 }')
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
pdfimages -png "$pdf" "$E2E_TMP/printed"
cp "$E2E_TMP/printed-000.png" "$E2E_ARTIFACT_DIR/printed-window.png"
differing=$(compare -metric AE "$E2E_TMP/printed-000.png" "$E2E_TMP/window.png" null: 2>&1 || true)
[ "$differing" = 0 ] || e2e_fail "$differing pixels of the printed picture differ from the window"

# --- a bad input: the error box, and the window survives with its report ----------------------
e2e_click "$wid" "${beta[@]}"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "5x0"
e2e_click "$wid" "${calc[@]}"
expect_box
[ "$(e2e_window_id Velmor)" = "$wid" ] || e2e_fail "the main window is gone"
[ "$(report_box)" = "$(cat "$E2E_DEFAULT_REPORT")" ] || e2e_fail "the report changed after the error"
close_velmor

# --- scaled by 2: larger, at the same device pixel --------------------------------------------
QT_SCALE_FACTOR=2 start_velmor
[ "$(e2e_geometry "$wid")" = "1362x740 at 441,482" ] || e2e_fail "scaled by 2: $(e2e_geometry "$wid")"
kill "$E2E_APP_PID" # 关闭 lies off the 1280 x 1024 screen
e2e_wait_app_exit

# --- the A4 queue: its own paper, the picture at the same printed size ------------------------
lpadmin -d A4
start_velmor
print_on A4
close_velmor
case $(page_size "$work/out/A4.pdf") in "595 x 842" | "595.276 x 841.89") ;;
*) e2e_fail "the A4 queue's page is $(page_size "$work/out/A4.pdf") pt" ;; esac
[ "$(images "$work/out/A4.pdf")" = "681 370 rgb 8 image 96 96" ] ||
    e2e_fail "the picture on A4: $(images "$work/out/A4.pdf")"

# --- no default printer: the error box (twice), nothing printed -------------------------------
lpadmin -x A4
! lpstat -d | grep -q 'system default destination:' || e2e_fail "still a default: $(lpstat -d)"
jobs_before=$(lpstat -W all -o)
start_velmor
e2e_click "$wid" "${print[@]}"
expect_box
e2e_click "$wid" "${print[@]}"
expect_box
no_default_width=$box_width
close_velmor
[ "$(lpstat -W all -o)" = "$jobs_before" ] || e2e_fail "a job was sent: $(lpstat -W all -o)"

# --- a print server that never answers: the window repaints, the box within ~10 s ------------
lpadmin -d Letter
kill -STOP "$E2E_CUPS_PID"
start_velmor
import -window "$wid" "$E2E_TMP/before.png"
start=$(now_ms)
e2e_click "$wid" "${print[@]}"
sleep 1
e2e_click "$wid" "${r1[@]}"
xdotool key --clearmodifiers End Z
sleep 1
import -window "$wid" "$E2E_TMP/waiting.png"
! e2e_window_id Velmor1.0 >/dev/null || e2e_fail "the box came before the repaint could be checked"
changed=$(compare -metric AE -extract 121x20+320+26 "$E2E_TMP/before.png" "$E2E_TMP/waiting.png" null: 2>&1 || true)
[ "$changed" != 0 ] || e2e_fail "EditR1 did not repaint while 打印 waited"
expect_box 15
box_ms=$(($(now_ms) - start))
[ "$box_ms" -le 11000 ] || e2e_fail "the box took ${box_ms} ms"
# The box's text is not readable here (the window tests prove it); its width tells the one line
# "There is no default printer currently selected." from a system error's two short ones.
[ "$no_default_width" -gt $((box_width + 60)) ] ||
    e2e_fail "the no-default-printer box ($no_default_width px) is not wider than the timeout's ($box_width px)"
e2e_log "stopped server: the box after ${box_ms} ms ($box_width px wide; no default printer: $no_default_width)"
# The request is still with the server: 打印 again is refused, and 关闭 ends the process.
e2e_click "$wid" "${print[@]}"
expect_box
close_velmor
# 关闭 while 打印 still waits.
start_velmor
e2e_click "$wid" "${print[@]}"
sleep 1
close_velmor
