#!/bin/bash
# Real input against the full-screen saver (sandglass.scr /s under Xvfb, driven by xdotool): a
# key, a mouse button and a mouse movement of more than 4 pixels end it with 0; smaller
# movements add up from where the cursor stood at start until the distance reaches 5.
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768
# No window manager runs under Xvfb: Wine is told not to wait for one when a window goes away,
# so that a saver that was told to close ends at once (two seconds later otherwise, which would
# let "still running" pass after a close).
reg_set 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N
SAVER="$SANDGLASS_BIN/sandglass.scr"

# start_saver: puts the cursor at (500, 400) and starts the saver; 1 when its window appeared.
start_saver() {
  xdotool mousemove 500 400
  wine_start "$SAVER" /s
  wait_window "Screen Saver" 30 >/dev/null || return 1
  sleep 1   # let the first frames run before the input comes
}

running() { kill -0 "$WINE_PID" 2>/dev/null; }

# ends_with_zero description: the saver must end within 5 s with exit code 0.
ends_with_zero() {
  wine_wait "$WINE_PID" 5
  expect_eq "$1 ends the saver with 0" 0 "$WINE_EXIT"
}

check "saver window appears (key)" start_saver
xdotool key a
ends_with_zero "a key"

check "saver window appears (button)" start_saver
xdotool click 1
ends_with_zero "a mouse button"

check "saver window appears (move)" start_saver
xdotool mousemove 510 400
ends_with_zero "a 10-pixel movement"

# One pixel at a time from (500, 400): distances 1, 2, 3, then 3 right and 1 down (4), then 5.
check "saver window appears (drift)" start_saver
for step in "501 400" "502 400" "503 400" "503 401"; do
  xdotool mousemove $step
  sleep 0.5
  check "still running at ($step)" running
done
xdotool mousemove 504 401
ends_with_zero "the move to distance 5"

finish
