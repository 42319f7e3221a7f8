#!/bin/bash
# The saver full screen on a 1024 x 768 desktop of the given depth (24, 16 or 8): DirectDraw
# comes up with the desktop's own layout (at 8 bits with the fixed palette on the primary
# surface) and draws the outline grains in it as the packed grey; the window covers the screen, the 640 x 480 frame stands centred at (192, 144) with
# the rings, the vessel's grey frame, the outline grains and the sand where the scene puts them,
# and a key press ends it with exit code 0.
#
# With a second argument, "WxH WxH", the desktop is that row of monitors (depth 24), the first
# the primary: the window covers all of them, the frame stands in the middle of the primary,
# every other monitor is black where the desktop showed a colour before, and a mouse movement on
# the last monitor ends the saver.
#
# DISPLAY_DPI=144 raises the desktop's DPI (LogPixels; a scale of 150%): the frame must stay
# 640 x 480 real pixels in the same place. At 192 DPI (200%) it is enlarged twice, at 288 three
# times (as far as the primary monitor has room), and DISPLAY_FRAME_SIZE=1 (the configure
# dialog's box ticked) enlarges it as far as the primary has room whatever the DPI. An enlarged
# frame must be made of exact k x k blocks, centred on the primary, black around; the frame
# those blocks make is checked against the scene as above.
# DISPLAY_RENDER_FRAMES=N (one monitor, depth 24): the probe runs the saver procedure for N frames
# on a frozen clock (dt 0), and the screen must then be exactly `sandglass-render --frames N
# --dt 0 --scale k` at the frame's place, black around.
# DISPLAY_SIZE=WxH is the desktop's size (default 1024x768; one monitor).
# DISPLAY_SCREENSHOT_OUT=file keeps a copy of the screenshot.
source "$(dirname "$0")/lib.sh"
depth=${1:-24}
monitors=${2:-}
if [ -n "$monitors" ]; then
  wine_session_monitors "$monitors"
  # A desktop that is not black: a monitor the saver left uncovered would show it.
  convert -size 8x8 xc:'#808000' "$TEST_DIR/desktop.png"
  display -window root "$TEST_DIR/desktop.png"
else
  wine_session "$depth" "${DISPLAY_SIZE:-1024x768}"
  PRIMARY_WIDTH=$SCREEN_WIDTH PRIMARY_HEIGHT=$SCREEN_HEIGHT
fi
dpi=${DISPLAY_DPI:-96}
[ "$dpi" = 96 ] || reg_set 'HKCU\Control Panel\Desktop' LogPixels REG_DWORD "$dpi"
[ -n "${DISPLAY_FRAME_SIZE:-}" ] &&
  reg_set 'HKCU\Software\Mirabel\Tessaly' FrameSize REG_DWORD "$DISPLAY_FRAME_SIZE"
# The factor: the whole part of dpi / 96, or all the room there is when filling; no more than fits.
fits=$((PRIMARY_WIDTH / 640 < PRIMARY_HEIGHT / 480 ? PRIMARY_WIDTH / 640 : PRIMARY_HEIGHT / 480))
factor=$((dpi / 96))
[ "${DISPLAY_FRAME_SIZE:-0}" = 1 ] && factor=$fits
[ "$factor" -gt "$fits" ] && factor=$fits
frame_w=$((640 * factor)) frame_h=$((480 * factor))
frame_x=$(((PRIMARY_WIDTH - frame_w) / 2)) frame_y=$(((PRIMARY_HEIGHT - frame_h) / 2))

# What set-up makes of this desktop, and where the scene puts things.
probe() { sed -n "s/^$1=//p" "$TEST_DIR/probe.txt" | tr -d "\r"; }
render_frames=${DISPLAY_RENDER_FRAMES:-}
if [ -n "$render_frames" ]; then
  wine "$SANDGLASS_BIN/display_probe.exe" frames "$render_frames" \
    "$(windows_path "$TEST_DIR/probe.stop")" >"$TEST_DIR/probe.txt" 2>/dev/null &
  probe_pid=$!
  for _ in $(seq 600); do [ -n "$(probe frames)" ] && break; sleep 0.1; done
  screenshot "$TEST_DIR/probe_shot.png"
  touch "$TEST_DIR/probe.stop"
  wine_wait "$probe_pid" 40
  expect_eq "the probe ran its frames on the frozen clock" "$render_frames" "$(probe frames)"
  check "the native renderer draws the same frame" "$SANDGLASS_NATIVE_BIN/sandglass-render" \
    --frames "$render_frames" --dt 0 --scale "$factor" --png "$TEST_DIR/render.png"
  convert -size "${SCREEN_WIDTH}x$SCREEN_HEIGHT" xc:black "$TEST_DIR/render.png" \
    -geometry "+$frame_x+$frame_y" -composite "$TEST_DIR/expected.png"
  expect_eq "the screen is the renderer's frame $render_frames at ${factor}x, at ($frame_x, $frame_y), black around (pixels differing)" \
    0 "$(compare -metric AE "$TEST_DIR/expected.png" "$TEST_DIR/probe_shot.png" null: 2>&1)"
else
  wine "$SANDGLASS_BIN/display_probe.exe" >"$TEST_DIR/probe.txt" 2>/dev/null
fi
expect_eq "DirectDraw set up at depth $depth" 1 "$(probe direct_draw)"
expect_eq "the desktop's DPI" "$dpi" "$(probe dpi)"
case $depth in
  24) layout=4,ff0000,ff00,ff palette=none ;;
  16) layout=2,f800,7e0,1f palette=none ;;
  8) layout=1,e0,1c,3 palette=fixed ;;
esac
expect_eq "pixel layout: bytes per pixel and masks" "$layout" "$(probe layout)"
expect_eq "palette on the primary surface" "$palette" "$(probe palette)"
expect_eq "every outline grain drawn as the packed grey (96,96,96)" "$(probe wall)" "$(probe wall_drawn)"
# At 8 bits the grey is the 3-3-2 index 0x6D, whose palette entry is (109,109,85).
[ "$depth" = 8 ] && expect_eq "the outline grey's palette colour" 109,109,85 "$(probe wall_color)"

started=$(date +%s.%N)
wine_start "$SANDGLASS_BIN/sandglass.scr" /s
window=$(wait_window "Screen Saver" 20)
check "the saver window appears" test -n "$window"
[ -n "$window" ] || finish
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x "," y " " w "x" h}')
expect_eq "the window covers the screen" "0,0 ${SCREEN_WIDTH}x$SCREEN_HEIGHT" "$geometry"

sleep 2.5
screenshot "$TEST_DIR/shot.png"
elapsed=$(awk -v now="$(date +%s.%N)" -v then="$started" 'BEGIN { print now - then }')
check "the saver still runs" kill -0 "$WINE_PID"
[ -n "${DISPLAY_SCREENSHOT_OUT:-}" ] && cp "$TEST_DIR/shot.png" "$DISPLAY_SCREENSHOT_OUT"

# The origin's range from the saver's start to the screenshot: 2 degrees a second round the
# ellipse, (320 + trunc(200 cos a), 240 + trunc(100 sin a)).
read -r ox_min ox_max oy_min oy_max < <(awk -v T="$elapsed" 'BEGIN {
  ox_min = oy_min = 1e9; ox_max = oy_max = -1e9
  for (t = 0; t <= T + 0.05; t += 0.01) {
    a = 2 * t * 0.0174532925; ox = 320 + int(200 * cos(a)); oy = 240 + int(100 * sin(a))
    if (ox < ox_min) ox_min = ox; if (ox > ox_max) ox_max = ox
    if (oy < oy_min) oy_min = oy; if (oy > oy_max) oy_max = oy
  }
  print ox_min, ox_max, oy_min, oy_max }')
read -r wall_cx wall_cy < <(probe wall_centroid | awk -F, '{print $1 / 100, $2 / 100}')

checked="$TEST_DIR/shot.png" check_x=$frame_x check_y=$frame_y
if [ "$factor" -gt 1 ]; then
  # Exact blocks: the frame area sampled down to one pixel a block and enlarged again by
  # repetition is the area itself, pixel for pixel; nothing is lit around it.
  convert "$TEST_DIR/shot.png" -crop "${frame_w}x$frame_h+$frame_x+$frame_y" +repage "$TEST_DIR/area.png"
  convert "$TEST_DIR/area.png" -sample 640x480 "$TEST_DIR/frame.png"
  convert "$TEST_DIR/frame.png" -sample "${frame_w}x$frame_h" "$TEST_DIR/blocks.png"
  expect_eq "the ${frame_w} x $frame_h area at ($frame_x, $frame_y): exact $factor x $factor blocks (pixels differing)" \
    0 "$(compare -metric AE "$TEST_DIR/area.png" "$TEST_DIR/blocks.png" null: 2>&1)"
  expect_eq "nothing lit around the enlarged frame" 0 "$(convert "$TEST_DIR/shot.png" -fill black \
    -draw "rectangle $frame_x,$frame_y $((frame_x + frame_w - 1)),$((frame_y + frame_h - 1))" \
    -format '%[fx:int(255*maxima)]' info:)"
  # The frame the blocks make is checked as the frame itself.
  checked="$TEST_DIR/frame.png" check_x=0 check_y=0
fi
convert "$checked" -depth 8 txt:- | awk -f "$SANDGLASS_SOURCE/tests/win32/display_frame_check.awk" \
  -v depth="$depth" -v frame_x="$check_x" -v frame_y="$check_y" \
  -v ox_min="$ox_min" -v ox_max="$ox_max" -v oy_min="$oy_min" -v oy_max="$oy_max" \
  -v wall="$(probe wall)" -v wall_cx="$wall_cx" -v wall_cy="$wall_cy" \
  -v wall_box="$(probe wall_box)" -v picture_box="$(probe picture_box)" \
  -v background_box="$(probe background_box)" -v sand_colors="$(probe sand_colors)" \
  -v background_colors="$(probe background_colors)" >"$TEST_DIR/frame_checks.txt"
frame_ok=$?
cat "$TEST_DIR/frame_checks.txt"
failures=$((failures + $(grep -c '^FAIL' "$TEST_DIR/frame_checks.txt")))
[ "$frame_ok" -eq 0 ] || [ "$(grep -c '^FAIL' "$TEST_DIR/frame_checks.txt")" -gt 0 ] ||
  { echo "FAIL the screenshot could not be checked"; failures=$((failures + 1)); }

if [ -n "$monitors" ]; then
  # On the last monitor, far from the primary: a move there reaches the saver too.
  xdotool mousemove $((SCREEN_WIDTH - 100)) 100; sleep 0.3; xdotool mousemove $((SCREEN_WIDTH - 60)) 140
  wine_wait "$WINE_PID" 10
  expect_eq "a mouse move on the last monitor ends the saver with exit code 0" 0 "$WINE_EXIT"
else
  xdotool key a
  wine_wait "$WINE_PID" 10
  expect_eq "a key press ends the saver with exit code 0" 0 "$WINE_EXIT"
fi
finish
