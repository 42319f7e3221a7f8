#!/bin/bash
# Windows of other sizes than the frame.
#   x11_scaled.sh                           previews and resizes, on a 1920x1080 screen
#   x11_scaled.sh SIZE DEPTH [no-render]    -root on a screen of that size
# A window smaller than the frame shows all of it scaled down with its shape kept (each pixel
# the one under its centre), centred, the rest black; the program's own window follows resizes
# both ways, enlarging by the factor each size allows. On a whole screen the frame fills it by
# the largest whole factor and equals the renderer's frame at that --scale; with RENDER the
# server enlarges it ("no-render" starts the server without), at 8 bits the program does.
source "$(dirname "$0")/lib.sh"

if [ $# -ge 2 ]; then
  mode=${3:-render}
  server="with RENDER"; [ "$mode" = no-render ] && server="without RENDER"
  if [ "$mode" = no-render ]; then x_session "$2" "$1" -extension RENDER; else x_session "$2" "$1"; fi
  w=$SCREEN_WIDTH h=$SCREEN_HEIGHT
  k=$((w / 640 < h / 480 ? w / 640 : h / 480))
  # fills factor: the root shows the renderer's frame at that scale, centred, black around.
  fills() {
    local fw=$((640 * $1)) fh=$((480 * $1))
    local x=$(((w - fw) / 2)) y=$(((h - fh) / 2))
    shows root "$x" "$y" "$fw" "$fh" "$(rendered "$SCREEN_DEPTH" "$1")" &&
      framed root "$w" "$h" "$x" "$y" "$fw" "$fh"
  }
  start_saver -root "${QUICK[@]}"
  check "-root on ${1}x$2, $server: the frame at ${k}x, centred, black around" fills "$k"
  # Which side enlarges shows in the shared segment: the two 640x480 images alone where the
  # server does; the program's 4x image besides where it does itself.
  frames_bytes=$((2 * 640 * 480 * 4))
  if [ "$mode" = no-render ]; then
    check "the server offers no RENDER" bash -c '! xdpyinfo | grep -q RENDER'
  fi
  if [ "$mode" = no-render ] || [ "$2" = 8 ]; then
    check "... enlarged by the program" [ "$(shared_bytes "$SAVER_PID")" -gt "$frames_bytes" ]
  else
    check "... enlarged by the server" [ "$(shared_bytes "$SAVER_PID")" -le "$frames_bytes" ]
  fi
  stop_saver TERM
  check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
  check "nothing on stderr" [ ! -s "$TEST_DIR/saver.err" ]
  if [ "$k" -gt 2 ]; then
    start_saver -root -scale 2 "${QUICK[@]}"
    check "-scale 2 on ${1}x$2: the frame at 2x, centred" fills 2
    stop_saver TERM
  fi
  finish
fi

x_session 24 1920x1080
expected=$(reference)

# A preview-sized window, wider than 4:3: height-bound, 266x200 at x 67.
plain_window 400 200; window=$WINDOW
start_saver -window-id "$window" "${QUICK[@]}"
check "a 400x200 window shows the whole frame at 266x200" \
  shows "$window" 67 0 266 200 "$(scaled_reference 266 200)"
check "... with black left and right of it" framed "$window" 400 200 67 0 266 200
stop_saver TERM
check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]

# Its own window, resized smaller and larger than the frame, then by less than twice it.
start_saver -window "${QUICK[@]}"
window=$(own_window) || fail "no window of its own"
check "its own window is 640x480 and shows the frame" shows "$window" 0 0 640 480 "$expected"
xdotool windowsize "$window" 200 400
check "resized to 200x400 it shows the frame at 200x150, 125 down" \
  shows "$window" 0 125 200 150 "$(scaled_reference 200 150)"
check "... black above and below" framed "$window" 200 400 0 125 200 150
xdotool windowsize "$window" 1300 1000
check "resized to 1300x1000 it shows the frame at 2x at 10,20" \
  shows "$window" 10 20 1280 960 "$(rendered 24 2)"
check "... the rest black" framed "$window" 1300 1000 10 20 1280 960
xdotool windowsize "$window" 800 600
check "resized to 800x600 it shows the frame whole at 80,60" \
  shows "$window" 80 60 640 480 "$expected"
check "... the rest black" framed "$window" 800 600 80 60 640 480
stop_saver TERM
check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
finish
