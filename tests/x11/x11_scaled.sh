#!/bin/bash
# Windows of other sizes: one smaller than the frame shows all of it scaled down with its shape
# kept (each pixel the one under its centre), centred, the rest black; the program's own window
# follows resizes both ways.
source "$(dirname "$0")/lib.sh"
x_session 24 1024x768
expected=$(reference)

# A preview-sized window, wider than 4:3: height-bound, 266x200 at x 67.
plain_window 400 200; window=$WINDOW
start_saver -window-id "$window" "${QUICK[@]}"
check "a 400x200 window shows the whole frame at 266x200" \
  shows "$window" 67 0 266 200 "$(scaled_reference 266 200)"
check "... with black left and right of it" framed "$window" 400 200 67 0 266 200
stop_saver TERM
check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]

# Its own window, resized smaller and then larger than the frame.
start_saver -window "${QUICK[@]}"
window=$(own_window) || fail "no window of its own"
check "its own window is 640x480 and shows the frame" shows "$window" 0 0 640 480 "$expected"
xdotool windowsize "$window" 200 400
check "resized to 200x400 it shows the frame at 200x150, 125 down" \
  shows "$window" 0 125 200 150 "$(scaled_reference 200 150)"
check "... black above and below" framed "$window" 200 400 0 125 200 150
xdotool windowsize "$window" 800 600
check "resized to 800x600 it shows the frame whole at 80,60" \
  shows "$window" 80 60 640 480 "$expected"
check "... the rest black" framed "$window" 800 600 80 60 640 480
stop_saver TERM
check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
finish
