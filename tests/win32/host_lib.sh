# Helpers of the scripts that drive a running full-screen saver with messages from outside.
# Source after lib.sh and wine_session; SAVER names the program. SAVER_WINEDEBUG, if set, is the
# saver's WINEDEBUG (to watch a trace channel).

# start_saver: the cursor parked, the saver started full screen and given a second to settle.
start_saver() {
  xdotool mousemove 500 400
  WINEDEBUG=${SAVER_WINEDEBUG:-$WINEDEBUG} wine_start "$SAVER" /s
  SAVER_PID=$WINE_PID
  wait_window "Screen Saver" 30 >/dev/null || return 1
  sleep 1
}

# send args...: host_send.exe's answer for one message to the running saver.
send() { timeout 20 wine "$SANDGLASS_BIN/host_send.exe" "$@" 2>/dev/null | tr -d '\r'; }

running() { kill -0 "$SAVER_PID" 2>/dev/null; }

ends_with_zero() {
  wine_wait "$SAVER_PID" 5
  expect_eq "$1 ends the saver with 0" 0 "$WINE_EXIT"
}
