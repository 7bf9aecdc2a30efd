#!/usr/bin/env bash
# 保存 and 打印 as a person uses them, on a private X server and a private CUPS server:
# - 计算, then 保存 through the real dialog with a name typed without extension: NAME.txt holds
#   the default report in GBK with CR LF line ends, byte for byte;
# - a second 保存 opens with that path filled in and replaces an existing longer file;
# - 打印 sends one PDF page to the default queue holding one lossless image of 681 x 370 pixels
#   at the top-left of the printable area, at the window's size on a 96-dpi screen, with the
#   window's own pixels;
# - with no default printer, 打印 shows "There is no default printer currently selected." and
#   nothing is printed.
# The measured save and print times are logged.
#
# Environment: VELMOR (the program), VELMOR_BUILD_DIR (the build tree: the CUPS server's files
# go under it, and the helper velmor_error_box comes from it), E2E_ARTIFACT_DIR (pictures).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cups/cups.sh"

e2e_require Xvfb xdotool xclip import compare convert cupsd lpadmin lpstat pdfinfo pdfimages \
    pdftoppm iconv cmp
: "${VELMOR:?VELMOR must name the program}"
: "${VELMOR_BUILD_DIR:?VELMOR_BUILD_DIR must name the build tree}"
artifacts=${E2E_ARTIFACT_DIR:-$E2E_TMP}
mkdir -p "$artifacts"
error_box="$VELMOR_BUILD_DIR/tests/app/output/velmor_error_box"
[ -x "$error_box" ] || e2e_fail "the helper $error_box has not been built"

work="$VELMOR_BUILD_DIR/e2e-work/save_print"
rm -rf "$work"
mkdir -p "$work/saved" "$work/out" "$work/home"
# The Qt file dialog records its history in the user's settings: keep the test's out of them.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
export LC_ALL=C.UTF-8

# The CUPS server is stopped by its PID before lib.sh cleans up the rest, which takes the
# script's exit status from $? (hence set +e: "(exit N)" would end the trap under set -e).
# shellcheck disable=SC2154 # e2e_status is assigned inside the trap itself
trap 'e2e_status=$?; cups_stop; set +e; (exit $e2e_status); e2e_cleanup' EXIT

# Points inside the window: the group box starts at (8, 8); these are the buttons' centres.
calc_x=389 calc_y=276     # 计算
print_x=309 print_y=276   # 打印
save_x=621 save_y=292     # 保存
close_x=341 close_y=332   # 关闭

now_ms() { date +%s%3N; }

# Waits up to 10 seconds for FILE to exist with SIZE bytes (any size when SIZE is empty).
wait_file() {
    local file=$1 size=${2:-}
    for _ in $(seq 1 200); do
        if [ -f "$file" ] && { [ -z "$size" ] || [ "$(stat -c %s "$file")" = "$size" ]; }; then
            return 0
        fi
        sleep 0.05
    done
    e2e_fail "$file did not appear${size:+ with $size bytes}"
}

# Opens the save dialog with 保存 and waits until it takes keys.
open_save_dialog() {
    local dialog
    e2e_click "$wid" "$save_x" "$save_y"
    dialog=$(e2e_wait_window "Save As")
    e2e_wait_focus "$dialog"
}

# The text of the focused line edit, through the clipboard.
focused_text() {
    e2e_copy_to "$E2E_TMP/clip" ctrl+a
    cat "$E2E_TMP/clip"
}

# The report file as a Chinese Windows machine writes it: code page 936, CR LF after each line.
expected="$E2E_TMP/expected.txt"
sed 's/$/\r/' "$E2E_DEFAULT_REPORT" | iconv -f UTF-8 -t CP936 >"$expected"
expected_size=$(stat -c %s "$expected")
[ "$(grep -c $'\r$' "$expected")" = 29 ] || e2e_fail "the expected report is not 29 lines"

cups_start "$work/cups"
cups_add_pdf_queue TestPDF "$work/out/TestPDF.pdf" default
e2e_log "CUPS at $CUPS_SERVER, default queue $(lpstat -d)"

e2e_start_xvfb
e2e_start_app "$VELMOR"
wid=$(e2e_wait_window Velmor)

# Confirms the open save dialog with Return, waits for the report file and for the dialog to
# close, and prints how long the file took to appear (ms).
confirm_save() {
    local start
    start=$(now_ms)
    xdotool key --clearmodifiers Return
    wait_file "$work/saved/result.txt" "$expected_size"
    echo $(($(now_ms) - start))
    e2e_wait_window_gone "Save As"
}

# --- 保存 after 计算, a name typed without extension -------------------------------------
e2e_click "$wid" "$calc_x" "$calc_y"
open_save_dialog
xdotool type --delay 10 "$work/saved/result"
typed=$(focused_text)
[ "$typed" = "$work/saved/result" ] || e2e_fail "the name box holds '$typed', not what was typed"
save_ms=$(confirm_save)
cmp "$expected" "$work/saved/result.txt" ||
    e2e_fail "result.txt is not the GBK report: $(cmp "$expected" "$work/saved/result.txt" 2>&1)"
[ "$(ls -A "$work/saved")" = result.txt ] || e2e_fail "other files in the folder: $(ls -A "$work/saved")"
e2e_log "保存: result.txt, $expected_size bytes as expected, in ${save_ms} ms (Return to file)"

# --- a second 保存 over an existing longer file -----------------------------------------
{ cat "$expected" "$expected"; printf 'an older, longer file\r\n'; } >"$work/saved/result.txt"
open_save_dialog
name=$(focused_text)
[ "$name" = result.txt ] || e2e_fail "the second dialog offers '$name', not result.txt"
save2_ms=$(confirm_save)
cmp "$expected" "$work/saved/result.txt" || e2e_fail "the longer file was not replaced exactly:" \
    "$(cmp "$expected" "$work/saved/result.txt" 2>&1)"
e2e_log "保存 again: opened with result.txt in its folder, replaced the longer file (${save2_ms} ms)"

# --- 打印 -------------------------------------------------------------------------------
pdf="$work/out/TestPDF.pdf"
start=$(now_ms)
e2e_click "$wid" "$print_x" "$print_y"
for _ in $(seq 1 200); do
    [ -n "$(lpstat -W completed -o TestPDF 2>/dev/null)" ] && [ -z "$(lpstat -o 2>/dev/null)" ] &&
        break
    sleep 0.02
done
[ -n "$(lpstat -W completed -o TestPDF)" ] || e2e_fail "no print job completed"
print_ms=$(($(now_ms) - start))
e2e_screenshot "$wid" "$E2E_TMP/window.png"
e2e_log "打印: job done in ${print_ms} ms (click to completed job, CUPS filters included)"

[ "$(lpstat -W completed -o | wc -l)" = 1 ] || e2e_fail "more than one job: $(lpstat -W completed -o)"
info=$(pdfinfo "$pdf")
grep -q '^Pages: *1$' <<<"$info" || e2e_fail "not one page: $info"
grep -q '^Title: *$' <<<"$info" || e2e_fail "the document has a name: $(grep '^Title' <<<"$info")"
images=$(pdfimages -list "$pdf" | tail -n +3)
e2e_log "images: $images"
[ "$(wc -l <<<"$images")" = 1 ] || e2e_fail "not exactly one image"
read -r _ _ _ width height color _ bpc enc _ _ _ xppi yppi _ <<<"$images"
[ "$width x $height" = "681 x 370" ] || e2e_fail "image is $width x $height"
[ "$color $bpc" = "rgb 8" ] || e2e_fail "image is $color with $bpc bits"
[ "$enc" = image ] || e2e_fail "image is stored as $enc, not losslessly"
[ "$xppi $yppi" = "96 96" ] || e2e_fail "image printed at $xppi x $yppi ppi, not the screen's 96"

# The placement: Qt's print engine works at 1200 dpi on a CUPS queue, so the picture is
# 681 * 1200 / 96 = 8512.5 -> 8513 by 370 * 1200 / 96 = 4625 dots with its corner on the
# printable area's. The page is drawn at 1200 dpi around the picture's two corners, and the
# edges of the non-white area there (the window has no white edge) must lie within a dot.
page_height=$(sed -n 's/^Page size: *[0-9.]* x \([0-9.]*\) pts.*$/\1/p' <<<"$info")
paper=$(sed -n 's/^Page size: .*(\(.*\))$/\1/p' <<<"$info")
# pdfinfo names the paper in its own case ("letter"), the PPD in the PPD's ("Letter").
area=$(sed -n "s/^\*ImageableArea $paper\/[^:]*: *\"\(.*\)\"/\1/Ip" "$cups_dir/ppd/TestPDF.ppd")
read -r llx _ _ ury <<<"$area"
[ -n "$ury" ] || e2e_fail "no printable area for '$paper' in the queue's PPD"
left=$(awk -v x="$llx" 'BEGIN { printf "%.0f", x * 1200 / 72 }')
top=$(awk -v h="$page_height" -v y="$ury" 'BEGIN { printf "%.0f", (h - y) * 1200 / 72 }')

# The non-white part of the 64 x 64 dots at page dot (X, Y), as "left top right bottom" in page
# dots, right and bottom exclusive. A white frame keeps it off the crop's corner, whose colour
# -trim would take as the background.
drawn_box() {
    pdftoppm -r 1200 -x "$1" -y "$2" -W 64 -H 64 -png -singlefile "$pdf" "$E2E_TMP/corner"
    convert "$E2E_TMP/corner.png" -bordercolor white -border 1 -format '%@' info: |
        awk -F'[x+]' -v x="$1" -v y="$2" '{ print x + $3 - 1, y + $4 - 1, x + $3 - 1 + $1, y + $4 - 1 + $2 }'
}
read -r got_left got_top _ _ <<<"$(drawn_box $((left - 32)) $((top - 32)))"
read -r _ _ got_right got_bottom <<<"$(drawn_box $((left + 8513 - 32)) $((top + 4625 - 32)))"
drawn="$got_left,$got_top to $got_right,$got_bottom"
want="$left,$top to $((left + 8513)),$((top + 4625))"
e2e_log "picture at dots $drawn at 1200 dpi (expected $want)"
awk -v got="$drawn" -v want="$want" 'BEGIN {
    if (split(got, g, /[ ,to]+/) != 4 || split(want, w, /[ ,to]+/) != 4) exit 1
    for (i = 1; i <= 4; i++) if (g[i] - w[i] > 1 || w[i] - g[i] > 1) exit 1
}' || e2e_fail "the printed picture covers dots $drawn, not $want (within a dot)"

# The printed pixels are the window's: the image taken out of the PDF equals a screenshot.
pdfimages -png "$pdf" "$E2E_TMP/printed"
differing=$(compare -metric AE "$E2E_TMP/printed-000.png" "$E2E_TMP/window.png" null: 2>&1 || true)
cp "$E2E_TMP/printed-000.png" "$artifacts/printed-window.png"
[ "$differing" = 0 ] || e2e_fail "$differing pixels of the printed picture differ from the window"
e2e_log "打印: one page, one lossless 681x370 image at the printable corner, the window's pixels"

# --- 打印 with no default printer --------------------------------------------------------
e2e_click "$wid" "$close_x" "$close_y"
e2e_wait_app_exit
cups_remove_queue TestPDF
cups_add_pdf_queue Other "$work/out/Other.pdf"
if lpstat -d 2>/dev/null | grep -q 'system default destination:'; then
    e2e_fail "still a default printer: $(lpstat -d)"
fi
printed_before=$(md5sum <"$pdf")

e2e_start_app "$VELMOR"
wid=$(e2e_wait_window Velmor)
for attempt in 1 2; do
    e2e_click "$wid" "$print_x" "$print_y"
    box=$(e2e_wait_window Velmor1.0)
    sleep 0.2
    e2e_screenshot "$box" "$E2E_TMP/no-printer-$attempt.png"
    xdotool key --clearmodifiers Return
    e2e_wait_window_gone Velmor1.0
done
cp "$E2E_TMP/no-printer-1.png" "$artifacts/no-default-printer.png"

# The box's text, checked against the same box showing the expected message (and, so that the
# comparison is known to see text, against one showing another message).
reference_box() {
    local message=$1 file=$2 pid helper_box
    "$error_box" "$message" >"$E2E_TMP/helper.log" 2>&1 &
    pid=$!
    helper_box=$(e2e_wait_window Velmor1.0)
    sleep 0.2
    e2e_screenshot "$helper_box" "$file"
    xdotool key --clearmodifiers Return
    wait "$pid" || e2e_fail "velmor_error_box ended with $?"
}
e2e_click "$wid" "$close_x" "$close_y"
e2e_wait_app_exit
reference_box "There is no default printer currently selected" "$E2E_TMP/expected-box.png"
reference_box "Printer selected is not valid" "$E2E_TMP/other-box.png"
for attempt in 1 2; do
    differing=$(compare -metric AE "$E2E_TMP/no-printer-$attempt.png" "$E2E_TMP/expected-box.png" \
        null: 2>&1 || true)
    [ "$differing" = 0 ] ||
        e2e_fail "打印 $attempt did not show 'There is no default printer currently selected.'"
done
differing=$(compare -metric AE "$E2E_TMP/no-printer-1.png" "$E2E_TMP/other-box.png" null: 2>&1 ||
    true)
[ "$differing" != 0 ] || e2e_fail "the box comparison does not tell messages apart"

if lpstat -W all -o 2>/dev/null | grep -qv '^TestPDF-'; then
    e2e_fail "a job was sent: $(lpstat -W all -o)"
fi
[ ! -e "$work/out/Other.pdf" ] || e2e_fail "something was printed on Other"
[ "$(md5sum <"$pdf")" = "$printed_before" ] || e2e_fail "the old output changed"
e2e_log "打印 without a default printer: the message, twice, and nothing printed"
e2e_log "times: save ${save_ms} ms and ${save2_ms} ms, print ${print_ms} ms"
