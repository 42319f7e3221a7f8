#!/bin/bash
# How the program ends, and what it does with the window it is given: the exit code and stderr
# of every way out, the daemon's $XSCREENSAVER_WINDOW, and a visual it cannot draw on.
source "$(dirname "$0")/lib.sh"
x_session 24 1024x768
err=$TEST_DIR/saver.err

# Keys and the close request in its own window: real key presses under the pointer.
for key in q Escape; do
  start_saver -window
  window=$(own_window) || fail "no window of its own"
  xdotool mousemove 320 240 key space
  sleep 0.3
  check "another key leaves it running" kill -0 "$SAVER_PID"
  xdotool key "$key"
  wait_exit "$SAVER_PID" 3
  check "$key in its own window ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
done
start_saver -window
window=$(own_window) || fail "no window of its own"
"$SANDGLASS_BIN/x_helper" delete "$window"
wait_exit "$SAVER_PID" 3
check "closing its own window ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
# A close that comes while it waits on the server (a grab held over its next frame, due 3 s
# after the first) ends it at once too, not a frame period later.
start_saver -window -delay 3000000
window=$(own_window) || fail "no window of its own"
sleep 0.3
"$SANDGLASS_BIN/x_helper" delete "$window" 4
wait_exit "$SAVER_PID" 1
check "a close that comes during a frame ends it at once with 0 (got $EXIT)" [ "$EXIT" = 0 ]
[ "$EXIT" = running ] && stop_saver TERM

# cpu_ticks pid: user plus system time of a process so far, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# -delay is the least time between frames: never more than one frame a delay over the run the
# program reports; and it keeps drawing.
start_saver -root -delay 200000 -report
sleep 1.5
stop_saver TERM
read -r frames seconds < <(sed -n 's/^sandglass: frames=\([0-9]*\) seconds=\([0-9.]*\)$/\1 \2/p' \
  "$TEST_DIR/saver.out")
check "-delay 200000: $frames frames in $seconds s, one a delay at most, at least 2" \
  awk -v f="${frames:-0}" -v s="${seconds:-0}" 'BEGIN { exit !(f >= 2 && f <= int(s / 0.2) + 1) }'

# Signals wake the sleep between frames: a frame every 10 s still ends within 2 s. Between
# frames it sleeps: a second of waiting costs next to no CPU (a spinning loop takes all it gets).
for signal in TERM INT; do
  start_saver -root -delay 10000000
  sleep 0.5
  ticks=$(cpu_ticks "$SAVER_PID")
  sleep 1
  ticks=$(($(cpu_ticks "$SAVER_PID") - ticks))
  check "waiting for the next frame it sleeps ($ticks ticks of CPU in 1 s)" \
    [ "$ticks" -lt $(($(getconf CLK_TCK) / 10)) ]
  stop_saver "$signal"
  check "SIG$signal during a 10 s sleep ends it at once with 0 (got $EXIT)" [ "$EXIT" = 0 ]
  check "... saying nothing" [ ! -s "$err" ]
done

# The daemon's window wins over -root, given in hex or decimal.
plain_window 640 480; window=$WINDOW
for form in "$window" "$((window))"; do
  XSCREENSAVER_WINDOW=$form start_saver --root "${QUICK[@]}"
  check "\$XSCREENSAVER_WINDOW=$form wins over --root" shows "$window" 0 0 640 480 "$(reference)"
  stop_saver TERM
done
XSCREENSAVER_WINDOW=junk start_saver -root
wait_exit "$SAVER_PID" 3
check "a bad \$XSCREENSAVER_WINDOW: exit 1 (got $EXIT)" [ "$EXIT" = 1 ]
check "... and one line" one_line "$err"

# A window that does not exist: one line naming it, not Xlib's error report.
start_saver -window-id 0x1fffff0
wait_exit "$SAVER_PID" 3
check "a window id that does not exist: exit 1 (got $EXIT)" [ "$EXIT" = 1 ]
check "... one line naming it" one_line "$err" 0x1fffff0

# Options: usage on stdout for help, on stderr with 2 for a bad one; no display needed.
"$SAVER" --help >"$TEST_DIR/help.out" 2>"$err"; code=$?
check "--help: exit 0, usage on stdout (got $code)" \
  bash -c "[ $code = 0 ] && grep -q '^usage: sandglass' '$TEST_DIR/help.out' && [ ! -s '$err' ]"
for bad in "-bogus" "-delay fast" "-window-id" "root"; do
  # shellcheck disable=SC2086
  DISPLAY= "$SAVER" $bad >"$TEST_DIR/bad.out" 2>"$err"; code=$?
  check "'$bad': exit 2 with the usage on stderr (got $code)" \
    bash -c "[ $code = 2 ] && grep -q '^usage: sandglass' '$err' && [ ! -s '$TEST_DIR/bad.out' ]"
done
DISPLAY=:999 "$SAVER" -root 2>"$err"; code=$?
check "no display: exit 1 (got $code)" [ "$code" = 1 ]
check "... and one line" one_line "$err"

# What comes from outside is echoed escaped: one line holding the escaped text (fixed, not a
# pattern), and no byte that drives the terminal.
escaped() {
  [ "$code" = "$1" ] && [ "$(wc -l <"$err")" -eq 1 ] && grep -qF -- "$2" "$err" &&
    ! grep -q $'[\x01-\x08\x0b-\x1f\x7f]' "$err"
}
XSCREENSAVER_WINDOW=$'\e]0;title\a\n2' "$SAVER" -root 2>"$err"; code=$?
check "an escape sequence in \$XSCREENSAVER_WINDOW: exit 1, one line, escaped" \
  escaped 1 "'\\x1b]0;title\\x07\\n2'"
DISPLAY=$':9\n9\e[2J' "$SAVER" -root 2>"$err"; code=$?
check "a newline and an escape in \$DISPLAY: exit 1, one line, escaped" \
  escaped 1 "':9\\n9\\x1b[2J'"
"$SAVER" -display $':9\n9' -root 2>"$err"; code=$?
check "a newline in -display: exit 1, one line, escaped" escaped 1 "':9\\n9'"
DISPLAY= "$SAVER" $'-bo\ngus' >/dev/null 2>"$err"; code=$?
check "a bad option with a newline: exit 2, named escaped on the first line (got $code)" \
  bash -c "[ $code = 2 ] && head -n 1 '$err' | grep -qF \"'-bo\\\\ngus'\""

# A stop ends it within a second whatever the server does. Stopped (kill -STOP), the server
# answers nothing; held grabbed by another client, nothing of ours.
for signal in TERM HUP; do
  start_saver -root
  sleep 0.5
  kill -STOP "$XVFB_PID"
  kill -"$signal" "$SAVER_PID"; wait_exit "$SAVER_PID" 1
  kill -CONT "$XVFB_PID"
  check "SIG$signal while the server is stopped ends it within a second with 0 (got $EXIT)" \
    [ "$EXIT" = 0 ]
  [ "$EXIT" = running ] && { sleep 1; stop_saver KILL; }
done
start_saver -root
sleep 0.5
"$SANDGLASS_BIN/x_helper" delete "$window" 3 &
grabber=$!
sleep 0.5
kill -TERM "$SAVER_PID"; wait_exit "$SAVER_PID" 1
check "SIGTERM while another client holds a grab ends it within a second with 0 (got $EXIT)" \
  [ "$EXIT" = 0 ]
wait "$grabber"
[ "$EXIT" = running ] && stop_saver KILL

# The connection lost while running: one line and 1.
start_saver -root
sleep 0.5
kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
wait_exit "$SAVER_PID" 5
check "a lost connection: exit 1 (got $EXIT)" [ "$EXIT" = 1 ]
check "... and one line" one_line "$err"

# A server whose default visual is DirectColor: the root is refused in one line; its own
# window takes a TrueColor visual instead and shows the frame.
x_session 24 1024x768 -cc 5
start_saver -root
wait_exit "$SAVER_PID" 3
check "-root on a DirectColor visual: exit 1 (got $EXIT)" [ "$EXIT" = 1 ]
check "... one line naming the visual" one_line "$err" DirectColor
start_saver -window "${QUICK[@]}"
window=$(own_window) || fail "no window of its own"
check "its own window on that server takes TrueColor and shows the frame" \
  shows "$window" 0 0 640 480 "$(reference)"
check "... at depth 24, not the 32-bit visual with alpha" \
  bash -c "xwininfo -id $window | grep -q 'Depth: 24$'"
stop_saver TERM

# At 8 bits the given window gets our colormap, and every stop hands its own back: SIGHUP as
# SIGTERM, and a stop while the server is stopped once the server runs again (the requests
# went out before the wait that the deadline cut short).
kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null
x_session 8 1024x768
plain_window 640 480; window=$WINDOW
colormap() { xwininfo -id "$window" | grep 'Colormap:'; }
given_colormap=$(colormap)
start_saver -window-id "$window"
sleep 0.5
check "at 8 bits the window takes our colormap" [ "$(colormap)" != "$given_colormap" ]
stop_saver HUP
check "SIGHUP ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
check "... and hands the window its own colormap back" [ "$(colormap)" = "$given_colormap" ]
start_saver -window-id "$window" -delay 1000000
sleep 1.5
kill -STOP "$XVFB_PID"
kill -TERM "$SAVER_PID"; wait_exit "$SAVER_PID" 1
kill -CONT "$XVFB_PID"
check "SIGTERM at 8 bits while the server is stopped ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
[ "$EXIT" = running ] && stop_saver KILL
check "... and the server, running again, gives the window its own colormap" \
  bash -c "for i in \$(seq 20); do [ \"\$(xwininfo -id $window | grep Colormap:)\" = '$given_colormap' ] && exit 0; sleep 0.1; done; exit 1"
finish
