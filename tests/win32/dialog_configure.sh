#!/bin/bash
# The configure dialog of the real sandglass.scr under a Japanese locale: its caption in code
# page 932, the focus on OK, a screenshot whose regions show the picture, the icon, the two name
# lines, the address box, the button and OK in their places, the button that asks the shell to
# open the home page (each time, the dialog staying open), Enter ending it with 1 and the close
# box with 2. The https handler of the private prefix is dialog_recorder.exe, which writes down
# the address instead of opening a browser. The check box 「画面いっぱいに拡大する」 under the
# name lines: its state is stored (HKCU\Software\Mirabel\Tessaly, FrameSize) when the dialog
# ends with OK, never otherwise, and shown again the next time. Then the same dialog under an
# English locale (ANSI code page 1252): the same Unicode texts, and on the screen the same dialog
# pixel for pixel.
#
#   dialog_configure.sh [DPI]   the desktop's resolution in dots per inch (LogPixels), default 96:
#                               at 144 the dialog grows with its font and must stay whole
#
# The screenshot of the dialog at 96 DPI is kept as dialog.png beside the bin directory, and
# copied to $DOCS_DIR/dialog.png when DOCS_DIR is set (the README's picture).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/startup_lib.sh"
dpi=${1:-96}
japanese_locale
# The address the dialog shows and opens: the one the code is built with.
home_page=$(sed -n 's/^#define HOME_PAGE_URL "\(.*\)"$/\1/p' "$SANDGLASS_SOURCE/win32/res/home_page.h")
# Nothing may reach a real browser, even if the handler below were not taken.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winebrowser.exe="
wine_session 24 1024x768

record="$TEST_DIR/opened.txt"
export DIALOG_RECORD
DIALOG_RECORD=$(windows_path "$record")
reg_set 'HKCU\Software\Wine\Fonts\Replacements' 'ＭＳ ゴシック' REG_SZ IPAGothic
# Without a window manager Wine draws the caption and its close box itself.
reg_set 'HKCU\Software\Wine\X11 Driver' Decorated REG_SZ N
# Wine 8 reads the desktop's DPI from here (else from HKCC\Software\Fonts, the machine's).
[ "$dpi" = 96 ] || reg_set 'HKCU\Control Panel\Desktop' LogPixels REG_DWORD "$dpi"
wine reg add 'HKCR\https\shell\open\command' /ve /t REG_SZ /f \
  /d "\"$(windows_path "$SANDGLASS_BIN/dialog_recorder.exe")\" \"%1\"" >/dev/null 2>&1

shot="$TEST_DIR/screen.png"

# control n field: a field of the n-th control of the dialog, in template order.
control() { launch_lines | grep '^control ' | sed -n "$1p" | tr ' ' '\n' | sed -n "s/^$2=//p"; }

# region n [inset]: "width height left top" of the n-th control's client area, shrunk by inset.
region() {
  local l t r b inset=${2:-0}
  IFS=, read -r l t r b <<<"$(control "$1" client)"
  echo "$((r - l - 2 * inset)) $((b - t - 2 * inset)) $((l + inset)) $((t + inset))"
}

# ink w h x y: the number of dark pixels (text, lines) in a region of the screenshot.
ink() {
  convert "$shot" -crop "$1x$2+$3+$4" +repage -colorspace gray -threshold 50% -negate \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# ink_box w h x y: the bounding box "w h x y" of the dark pixels, relative to the region.
ink_box() {
  convert "$shot" -crop "$1x$2+$3+$4" +repage -colorspace gray -threshold 50% \
    -format '%@' info: | sed 's/[x+]/ /g'
}

# ink_lines w h x y: how many separate bands of rows hold dark pixels; a gap of one or two blank
# rows (the dot of an i, a descender cut by the threshold at large sizes) does not part a band.
ink_lines() {
  convert "$shot" -crop "$1x$2+$3+$4" +repage -colorspace gray -threshold 50% -negate \
    -scale "1x$2!" -depth 8 txt:- |
    awk -F'[(,)]' 'BEGIN { last = -10 } NR > 1 { row = NR - 2; if ($3 + 0 > 0) { if (row - last > 3) n++; last = row } } END { print n + 0 }'
}

# centred what w h x y: the ink of a region is centred across it (within 3 pixels).
centred() {
  local bw bh bx by
  read -r bw bh bx by <<<"$(ink_box "$2" "$3" "$4" "$5")"
  check "$1 centred across its box" [ $(((2 * bx + bw - $2) * (2 * bx + bw - $2))) -le 36 ]
}

# same_picture what image w h x y: a region of the screenshot shows an image pixel for pixel.
same_picture() {
  local differing
  convert "$shot" -crop "$3x$4+$5+$6" +repage "$TEST_DIR/region.png"
  differing=$(compare -metric AE -fuzz 3% "$2" "$TEST_DIR/region.png" null: 2>&1)
  expect_eq "$1 shown pixel for pixel" 0 "$differing"
}

# frame_size: the stored FrameSize ("missing" when there is none).
frame_size() {
  local value
  value=$(wine reg query 'HKCU\Software\Mirabel\Tessaly' /v FrameSize 2>/dev/null | tr -d '\r' |
    awk '$1 == "FrameSize" { print $2 " " $3 }')
  echo "${value:-missing}"
}

# grey "r,g,b": the pixel's grey level.
grey() { IFS=, read -r r g b <<<"$1"; echo $(((r + g + b) / 3)); }

echo "--- the dialog, its caption and its regions"
launch LAUNCH_LINE="sandglass.scr"
if wait_log '^control ' 30; then sleep 1; fi
expect_eq "caption bytes (Mirabel, 0x81 0x45)" 4d69726162656c8145 "$(log_field title '^window=')"
expect_eq "caption as Unicode (Mirabel・)" 004d00690072006100620065006c30fb "$(log_field unicode '^window=')"
expect_eq "focus on OK" 1 "$(log_field focus '^window=')"
expect_eq "controls" 8 "$(launch_lines | grep -c '^control ')"
# The controls' texts as the template holds them (UTF-8 in the script, UTF-16 in the resource).
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16BE | od -An -v -tx1 | tr -d ' \n'; }
notice=$(sed -n 's/^ *CONTROL "\(.*\)", -1, STATIC_CLASS, 0x50020001, 7, 97, .*/\1/p' \
  "$SANDGLASS_SOURCE/win32/res/sandglass.rc")
expect_eq "button 1003 reads 接続" "$(utf16 接続)" "$(control 4 text)"
expect_eq "the notice as in the template" "$(utf16 "$notice")" "$(control 7 text)"
expect_eq "check box 1004 reads 画面いっぱいに拡大する" "$(utf16 画面いっぱいに拡大する)" "$(control 8 text)"
expect_eq "no setting stored yet: the box is clear" "missing 0" "$(frame_size) $(control 8 checked)"
texts=$(launch_lines | grep '^control ' | tr ' ' '\n' | grep '^text=')
screenshot "$shot"
IFS=, read -r wl wt wr wb <<<"$(log_field rect '^window=')"
convert "$shot" -crop "$((wr - wl))x$((wb - wt))+$wl+$wt" +repage "$TEST_DIR/dialog-ja.png"
if [ "$dpi" = 96 ]; then
  cp "$TEST_DIR/dialog-ja.png" "$(dirname "$SANDGLASS_BIN")/dialog.png"
  [ -n "${DOCS_DIR:-}" ] && cp "$TEST_DIR/dialog-ja.png" "$DOCS_DIR/dialog.png"
fi
# Whole: the dialog on the screen, every control inside its client area, none over another.
IFS=, read -r cl ct cr cb <<<"$(log_field client '^window=')"
convert "$shot" -crop "$((cr - cl))x$((cb - ct))+$cl+$ct" +repage "$TEST_DIR/client-ja.png"
check "the dialog on the screen" [ "$wl" -ge 0 -a "$wt" -ge 0 -a "$wr" -le "$SCREEN_WIDTH" -a "$wb" -le "$SCREEN_HEIGHT" ]
outside="" overlapping=""
for n in 1 2 3 4 5 6 7 8; do
  IFS=, read -r l t r b <<<"$(control "$n" rect)"
  [ "$l" -ge "$cl" -a "$t" -ge "$ct" -a "$r" -le "$cr" -a "$b" -le "$cb" ] || outside+=" $n"
  for m in $(seq $((n + 1)) 8); do
    IFS=, read -r l2 t2 r2 b2 <<<"$(control "$m" rect)"
    [ "$r" -le "$l2" -o "$r2" -le "$l" -o "$b" -le "$t2" -o "$b2" -le "$t" ] || overlapping+=" $n/$m"
  done
done
expect_eq "controls outside the client area" "" "$outside"
expect_eq "controls over one another" "" "$overlapping"

# The picture: the control takes bitmap 103's own size, and Wine stretches the bitmap into the
# client area inside the frame; compared with a nearest-neighbour scaling (a root-mean-square
# difference of 0.024; the unscaled bitmap differs by 0.14, a black picture by 0.23).
IFS=, read -r l t r b <<<"$(control 2 rect)"
expect_eq "picture: the bitmap's own size" "160 120" "$((r - l)) $((b - t))"
read -r w h x y <<<"$(region 2)"
convert "$SANDGLASS_SOURCE/win32/res/preview.bmp" -filter point -resize "${w}x$h!" "$TEST_DIR/bitmap.png"
convert "$shot" -crop "${w}x$h+$x+$y" +repage "$TEST_DIR/region.png"
difference=$(compare -metric RMSE "$TEST_DIR/bitmap.png" "$TEST_DIR/region.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
check "picture: bitmap 103 (difference $difference)" awk -v d="$difference" 'BEGIN { exit !(d < 0.05) }'
# The icon: the 32-bit image of the system's icon size (32 pixels at 96 DPI, 48 at 144), blended
# over the dialog's face colour.
read -r w h x y <<<"$(region 3)"
face=$(pixel "$shot" $((wl + 8)) $((wb - 8)))
icon_size=$((32 * dpi / 96))
case $icon_size in 32) index=5 ;; 48) index=6 ;; esac  # the file's order (startup_units)
convert "$SANDGLASS_SOURCE/win32/res/sandglass.ico[$index]" -background "rgb($face)" -alpha remove "$TEST_DIR/icon.png"
same_picture "icon: $icon_size x $icon_size with alpha" "$TEST_DIR/icon.png" "$icon_size" "$icon_size" "$x" "$y"
# The name and version: two centred lines.
read -r w h x y <<<"$(region 5)"
expect_eq "name and version: two lines" 2 "$(ink_lines "$w" "$h" "$x" "$y")"
centred "name and version" "$w" "$h" "$x" "$y"
# The address: text centred in a sunken box (a shadow line on its left and top edges).
IFS=, read -r l t r b <<<"$(control 6 rect)"
edge=$(grey "$(pixel "$shot" "$l" $(((t + b) / 2)))")
check "address box: a shadow on its left edge ($edge against $(grey "$face"))" [ "$edge" -lt $(($(grey "$face") - 30)) ]
read -r w h x y <<<"$(region 6 1)"
check "address: text in the box" [ "$(ink "$w" "$h" "$x" "$y")" -gt 150 ]
centred "address" "$w" "$h" "$x" "$y"
# The button right of the address box and OK in the middle of the bottom row, with text.
IFS=, read -r l t r b <<<"$(control 4 rect)"
IFS=, read -r al at ar ab <<<"$(control 6 rect)"
check "button: right of the address box" [ "$l" -gt "$ar" ]
read -r w h x y <<<"$(region 4 3)"
check "button: text" [ "$(ink "$w" "$h" "$x" "$y")" -gt 40 ]
IFS=, read -r l t r b <<<"$(control 1 rect)"
check "OK: in the middle of the bottom row" [ $(((l + r) / 2 - (wl + wr) / 2)) -ge -3 -a $(((l + r) / 2 - (wl + wr) / 2)) -le 3 ]
read -r w h x y <<<"$(region 1 3)"
check "OK: text" [ "$(ink "$w" "$h" "$x" "$y")" -gt 15 ]
# The notice: one centred line under the picture.
read -r w h x y <<<"$(region 7)"
expect_eq "notice: one line" 1 "$(ink_lines "$w" "$h" "$x" "$y")"
centred "notice" "$w" "$h" "$x" "$y"
# The check box: between the name lines and the address, its box and text one line, whole in its
# control, centred under the name lines as they are.
IFS=, read -r l t r b <<<"$(control 8 rect)"
IFS=, read -r nl nt nr nb <<<"$(control 5 rect)"
check "check box: under the name lines, above the address" [ "$t" -ge "$nb" -a "$b" -le "$at" ]
read -r w h x y <<<"$(region 8)"
expect_eq "check box: one line" 1 "$(ink_lines "$w" "$h" "$x" "$y")"
read -r bw bh bx by <<<"$(ink_box "$w" "$h" "$x" "$y")"
check "check box: the text whole (ink ends $((w - bx - bw)) pixels before the control's edge)" [ $((bx + bw)) -lt "$w" ]
centre_offset=$((2 * (x + bx) + bw - nl - nr))
check "check box: centred under the name lines (twice the offset: $centre_offset)" [ "$centre_offset" -ge -12 -a "$centre_offset" -le 12 ]

echo "--- the home page button"
click_control 1003
sleep 1.5
click_control 1003
opened() { cat "$record" 2>/dev/null | grep -c -F "$home_page"; }
for _ in $(seq 50); do [ "$(opened)" -ge 2 ] && break; sleep 0.1; done
expect_eq "the shell asked to open the home page twice" 2 "$(opened)"
check "the dialog stays open" kill -0 "$LAUNCH_PID"
click_control 1004
sleep 0.5
expect_eq "nothing stored while the dialog is open" missing "$(frame_size)"
dialog_key Return
expect_eq "Enter ends the dialog with 1" 0x00000001 "$(launch_exit 20)"
expect_eq "OK stores the ticked box" "REG_DWORD 0x1" "$(frame_size)"

echo "--- the close box"
launch LAUNCH_LINE="sandglass.scr"
if wait_log '^control ' 30; then
  sleep 1
  expect_eq "the stored setting ticks the box" 1 "$(control 8 checked)"
  # The face with the box ticked, for the English locale's below.
  screenshot "$shot"
  IFS=, read -r cl ct cr cb <<<"$(log_field client '^window=')"
  convert "$shot" -crop "$((cr - cl))x$((cb - ct))+$cl+$ct" +repage "$TEST_DIR/client-ja.png"
  click_control 1004
  sleep 0.3
  IFS=, read -r x y <<<"$(log_field close '^window=')"
  xdotool mousemove "$x" "$y" sleep 0.3 click 1 2>/dev/null
fi
expect_eq "the close box ends the dialog with 2" 0x00000002 "$(launch_exit 20)"
expect_eq "the close box stores nothing" "REG_DWORD 0x1" "$(frame_size)"

echo "--- the same dialog under an English locale"
launch LANG=en_US.UTF-8 LAUNCH_LINE="sandglass.scr"
if wait_log '^control ' 30; then sleep 1; fi
expect_eq "English: caption as Unicode (Mirabel・)" 004d00690072006100620065006c30fb "$(log_field unicode '^window=')"
expect_eq "English: every control's text as under the Japanese locale" "$texts" \
  "$(launch_lines | grep '^control ' | tr ' ' '\n' | grep '^text=')"
# The caption is drawn by Wine in its own caption font, which under an English locale has no
# glyph for the middle dot: only the client areas are compared.
screenshot "$shot"
IFS=, read -r cl ct cr cb <<<"$(log_field client '^window=')"
convert "$shot" -crop "$((cr - cl))x$((cb - ct))+$cl+$ct" +repage "$TEST_DIR/client-en.png"
differing=$(compare -metric AE "$TEST_DIR/client-ja.png" "$TEST_DIR/client-en.png" null: 2>&1)
expect_eq "English: the dialog's face exactly as under the Japanese locale" 0 "$differing"
click_control 1004
dialog_key Escape
expect_eq "English: Esc ends the dialog with 2" 0x00000002 "$(launch_exit 20)"
expect_eq "English: Esc stores nothing" "REG_DWORD 0x1" "$(frame_size)"

finish
