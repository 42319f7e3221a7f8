# Helpers of the start-up and dialog tests: run a program through startup_launch.exe (which
# prints the child's windows and its full 32-bit exit code) and act on what it shows.
# Source after lib.sh, after wine_session.

launch_count=0

# launch VAR=value...: starts the launcher in the background with these settings; its output
# goes to $LAUNCH_LOG, its process id to LAUNCH_PID.
launch() {
  launch_count=$((launch_count + 1))
  LAUNCH_LOG="$TEST_DIR/launch.$launch_count.log"
  env "$@" wine "$SANDGLASS_BIN/startup_launch.exe" >"$LAUNCH_LOG" 2>>"$TEST_DIR/launch.err" &
  LAUNCH_PID=$!
}

# launch_lines: the launcher's output without the console's carriage returns.
launch_lines() { tr -d '\r' 2>/dev/null <"$LAUNCH_LOG"; }

# wait_log pattern seconds: waits until the launcher's output has a line matching pattern.
wait_log() {
  local t=0
  while [ "$t" -lt $(($2 * 10)) ]; do
    launch_lines | grep -q -- "$1" && return 0
    sleep 0.1; t=$((t + 1))
  done
  return 1
}

# log_field key [pattern]: the value of key=... in the first output line that matches pattern.
log_field() {
  launch_lines | grep -- "${2:-$1=}" | head -1 | tr ' ' '\n' | sed -n "s/^$1=//p" | head -1
}

# launch_exit seconds: waits for the launcher and prints the child's exit code (0x%08X,
# "timeout", or "none" when the launcher printed nothing).
launch_exit() {
  wine_wait "$LAUNCH_PID" "$1"
  local code
  code=$(log_field exit)
  echo "${code:-none}"
}

# window_count: how many top-level windows of the child the launcher saw.
window_count() { launch_lines | grep -c '^window='; }

# dialog_centre: "x y" in the middle of the child's dialog (keys go where the pointer is).
dialog_centre() {
  local rect
  rect=$(log_field rect 'class=#32770')
  IFS=, read -r l t r b <<<"$rect"
  echo "$(((l + r) / 2)) $(((t + b) / 2))"
}

# dialog_key key: presses a key with the pointer over the dialog.
dialog_key() {
  local x y
  read -r x y <<<"$(dialog_centre)"
  xdotool mousemove "$x" "$y" sleep 0.3 key "$1" 2>/dev/null
}

# click_control id: clicks the middle of a dialog control (the first one with that id).
click_control() {
  local rect l t r b
  rect=$(launch_lines | grep "^control id=$1 " | head -1 | tr ' ' '\n' | sed -n 's/^rect=//p')
  IFS=, read -r l t r b <<<"$rect"
  xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) sleep 0.2 click 1 2>/dev/null
}
