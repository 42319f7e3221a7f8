#!/bin/bash
# The program under sway's headless backend (layer shell): two outputs, one at scale 2, each
# showing the renderer's frame at its own pixels; an output added while it runs; every way it
# ends. sway refuses root, so it runs as the tests' own user.
source "$(dirname "$0")/lib.sh"
for program in sway swaymsg grim wtype; do
  command -v "$program" >/dev/null || { echo "FAIL: $program is not installed (make deps)"; exit 1; }
done
as_ordinary_user

cat >"$TEST_DIR/config" <<END
xwayland disable
output HEADLESS-1 resolution 1920x1080 position 0 0 scale 1
output HEADLESS-2 resolution 1600x1200 position 1920 0 scale 2
output HEADLESS-3 resolution 1280x720 position 0 1080 scale 1
END
chmod 644 "$TEST_DIR/config"
start_compositor sway env WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_RENDERER=pixman \
  WLR_LIBINPUT_NO_DEVICES=1 sway -c "$TEST_DIR/config" &&
  wait_socket || { echo "FAIL: sway did not start"; tail "$TEST_DIR/sway.log"; exit 1; }
for _ in $(seq 100); do
  SWAY_SOCKET=$(ls "$RUN_DIR"/sway-ipc.*.sock 2>/dev/null) && break
  sleep 0.05
done

# shows output: the output's picture (grim, at its physical pixels) comes to hold the frame
# within 10 s.
shows() {
  for _ in $(seq 50); do
    as_session timeout 5 grim -o "$1" "$RUN_DIR/$1.png" 2>/dev/null &&
      frame_shown "$RUN_DIR/$1.png" && return 0
    sleep 0.2
  done
  return 1
}

# --- pictures: every output, the scaled one at 2 x its logical size, one added later --------
start_saver -frames "$FRAMES" -dt "$DT" -report
check "HEADLESS-1 (1920x1080, scale 1) shows the frame at k=2, black around" \
  shows HEADLESS-1
check "HEADLESS-2 (800x600 at scale 2: 1600x1200 pixels) shows it crisp at k=2, black around" \
  shows HEADLESS-2
as_session swaymsg create_output >/dev/null
check "an output added while it runs (HEADLESS-3, 1280x720) gets the frame at k=1" \
  shows HEADLESS-3
# An output that goes away takes its surface with it; back again, it gets a new one. With no
# output at all it waits.
as_session swaymsg "output * disable" >/dev/null
sleep 0.5
check "every output gone: it keeps running" kill -0 "$SAVER_PID"
as_session swaymsg "output * enable" >/dev/null
check "HEADLESS-2 back again shows the frame" shows HEADLESS-2
# All its frames are done: it sleeps, it does not poll in a loop.
ticks=$(cpu_ticks "$SAVER_PID"); sleep 1; ticks=$(($(cpu_ticks "$SAVER_PID") - ticks))
check "with nothing to draw it sleeps ($ticks ticks in 1 s)" [ "$ticks" -le 2 ]
stop_saver TERM
check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
check "... after $FRAMES steps" grep -q "steps=$FRAMES " "$TEST_DIR/saver.out"

# --- endings: each case a fresh run; the input comes once it is drawn ------------------------
# move "DX DY": the pointer moved through the one virtual pointer of the run (see start_pointer).
start_pointer() {
  exec {POINTER}> >(as_session "$TEST_DIR/bin/pointer_nudge")
  sleep 0.5
}
move() { echo "$1" >&"$POINTER"; sleep 0.4; }
ending_cases=(
  # name | what is done | exit code expected
  # wtype's keyboard is new to the seat: a key pressed at once would be held in the focus
  # event (as the key that started it by hand is, which must not end it), so it waits first.
  "a key (wtype)|as_session wtype -s 300 a|0"
  # Where the pointer is first seen counts, not where it was a move ago: 2 + 2 keeps it, one
  # more ends it.
  "the pointer moved 4 px (x plus y) keeps it|start_pointer; move '0 0'; move '2 0'; move '0 -2'|running"
  "... 1 px more ends it|move '0 -1'|0"
  "a pointer moved 5 px at once|start_pointer; move '0 0'; move '-5 0'|0"
  "SIGINT|kill -INT \$SAVER_PID|0"
  "SIGHUP|kill -HUP \$SAVER_PID|0"
)
for entry in "${ending_cases[@]}"; do
  IFS='|' read -r name action code <<<"$entry"
  # A case that starts with "..." goes on with the same run.
  if [ "${name#...}" = "$name" ]; then
    [ -n "${POINTER:-}" ] && { exec {POINTER}>&-; POINTER=""; }
    start_saver
    sleep 1.3
  fi
  eval "$action"
  if [ "$code" = running ]; then
    sleep 0.5
    check "$name (running)" kill -0 "$SAVER_PID"
    continue
  fi
  wait_exit 3
  check "$name: exit $code (got $EXIT)" [ "$EXIT" = "$code" ]
  check "... saying nothing" [ ! -s "$TEST_DIR/saver.err" ]
  [ "$EXIT" = running ] && stop_saver KILL
done
[ -n "${POINTER:-}" ] && exec {POINTER}>&-

# --- the compositor killed while it runs: one line and 1 -------------------------------------
start_saver
sleep 1
kill "$COMPOSITOR_PID"; COMPOSITOR_PID=""
wait_exit 5
check "the compositor killed: exit 1 (got $EXIT)" [ "$EXIT" = 1 ]
check "... and one line" one_line "$TEST_DIR/saver.err" "compositor"

# --- no compositor, and the command line ------------------------------------------------------
saver=$TEST_DIR/bin/sandglass-wayland
env -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$RUN_DIR" "$saver" 2>"$TEST_DIR/err"; code=$?
check "no WAYLAND_DISPLAY: exit 1 (got $code) and one line" \
  bash -c "[ $code = 1 ] && [ \$(wc -l <'$TEST_DIR/err') = 1 ]"
WAYLAND_DISPLAY=$'none\nhere' XDG_RUNTIME_DIR="$RUN_DIR" timeout 5 "$saver" 2>"$TEST_DIR/err"
code=$?
check "a compositor that is not there: exit 1 (got $code), one line, the name escaped" \
  bash -c "[ $code = 1 ] && [ \$(wc -l <'$TEST_DIR/err') = 1 ] && grep -qF \"'none\\\\nhere'\" '$TEST_DIR/err'"
# A socket that takes the connection and never answers: a stop signal still ends it at once.
perl -MIO::Socket::UNIX -e '$s = IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 5) or die;
  sleep 60' "$RUN_DIR/silent" &
started+=("$!")
for _ in $(seq 50); do [ -S "$RUN_DIR/silent" ] && break; sleep 0.05; done
WAYLAND_DISPLAY=silent XDG_RUNTIME_DIR="$RUN_DIR" "$saver" 2>"$TEST_DIR/err" &
SAVER_PID=$!; SAVER_LAUNCHER=$SAVER_PID
sleep 0.5
stop_saver TERM
check "a compositor that never answers: SIGTERM still ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
"$saver" --help >"$TEST_DIR/out" 2>"$TEST_DIR/err"; code=$?
check "--help: exit 0, usage on stdout (got $code)" \
  bash -c "[ $code = 0 ] && grep -q '^usage: sandglass-wayland' '$TEST_DIR/out' && [ ! -s '$TEST_DIR/err' ]"
# bad_option description args...: exit 2, the usage on stderr after one line naming the value.
bad_option() {
  local what=$1
  shift
  "$saver" "$@" >"$TEST_DIR/out" 2>"$TEST_DIR/err"; code=$?
  check "$what: exit 2 with the usage on stderr, the value on one line (got $code)" \
    bash -c "[ $code = 2 ] && head -1 '$TEST_DIR/err' | grep -q \"^sandglass-wayland: '\" &&
             sed -n 2p '$TEST_DIR/err' | grep -q '^usage: sandglass-wayland' && [ ! -s '$TEST_DIR/out' ]"
}
bad_option "-bogus" -bogus
bad_option "--scale 0" --scale 0
bad_option "--scale 2.5" --scale 2.5
bad_option "-dt 0x10" -dt 0x10
bad_option "-frames '5\\n'" -frames $'5\n'
finish
