#!/bin/bash
# The full-screen fallback under Weston's headless backend, which has no layer shell: the
# program takes a full-screen toplevel, draws (its steps follow the frames Weston shows, so a
# step count above zero means frames were presented), keeps to at most 60 steps a second, and
# ends on SIGTERM with 0. Weston's screenshooter gives no picture with the pixman renderer, so
# the pictures are checked under sway only.
source "$(dirname "$0")/lib.sh"
command -v weston >/dev/null || { echo "FAIL: weston is not installed (make deps)"; exit 1; }
mkdir -m 755 "$TEST_DIR/bin"
cp "$SANDGLASS_BIN/sandglass-wayland" "$TEST_DIR/bin/"

start_compositor weston weston --backend=headless-backend.so --use-pixman --socket=wayland-sg \
  --width=1280 --height=960 --idle-time=0 &&
  wait_socket || { echo "FAIL: weston did not start"; tail "$TEST_DIR/weston.log"; exit 1; }

# steps_in file: the steps a run reported.
steps_in() { sed -n 's/^sandglass-wayland: steps=\([0-9]*\) .*/\1/p' "$1"; }

start_saver -report
sleep 3
check "without a layer shell it runs (a full-screen toplevel)" kill -0 "$SAVER_PID"
stop_saver TERM
check "SIGTERM ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
check "... saying nothing" [ ! -s "$TEST_DIR/saver.err" ]
read -r steps seconds < <(sed -n 's/^sandglass-wayland: steps=\([0-9]*\) seconds=\([0-9.]*\)$/\1 \2/p' \
  "$TEST_DIR/saver.out")
check "it drew: $steps steps in $seconds s, on Weston's frames, at most 60 a second" \
  awk -v n="${steps:-0}" -v s="${seconds:-0}" 'BEGIN { exit !(n >= 30 && n <= 60 * s + 1) }'

start_saver -frames 30 -dt 0.016666668 -report
sleep 2
stop_saver TERM
check "-frames 30 stops stepping after 30 (got $(steps_in "$TEST_DIR/saver.out"))" \
  [ "$(steps_in "$TEST_DIR/saver.out")" = 30 ]

start_saver --window -report
sleep 1.5
check "--window runs as a plain toplevel" kill -0 "$SAVER_PID"
stop_saver INT
check "... and SIGINT ends it with 0 (got $EXIT)" [ "$EXIT" = 0 ]
check "... having drawn" [ "$(steps_in "$TEST_DIR/saver.out")" -gt 0 ]
finish
