#!/bin/bash
# The program's frames on a real X server equal the renderer's byte for byte.
#   x11_frames.sh DEPTH [no-shm | remote]
# -root on a 1024x768 screen: the frame centred, the rest black; -window-id on a plain window of
# 640x480. At 8 bits the window's colormap holds the fixed palette. Shared memory is used where
# the server offers it on a local socket; "no-shm" starts the server without MIT-SHM, and
# "remote" connects over TCP, where the server offers MIT-SHM but may be another machine's (an ssh
# tunnel looks the same): either way every frame goes through XPutImage. SIGTERM ends the program
# with 0.
source "$(dirname "$0")/lib.sh"
depth=$1
mode=${2:-shm}
case $mode in
  no-shm) x_session "$depth" 1024x768 -extension MIT-SHM ;;
  remote) x_session "$depth" 1024x768 -listen tcp; export DISPLAY="127.0.0.1$DISPLAY" ;;
  *) x_session "$depth" 1024x768 ;;
esac
expected=$(reference)

# --- root ---
start_saver -root "${QUICK[@]}"
check "-root at $depth bits: the centre shows the renderer's frame" \
  shows root 192 144 640 480 "$expected"
check "-root at $depth bits: the rest of the screen is black" framed root 1024 768 192 144 640 480
# A shared segment is mapped (and already removed: "deleted") only when shared memory is used.
if [ "$mode" = no-shm ]; then
  check "the server offers no MIT-SHM" bash -c '! xdpyinfo | grep -q MIT-SHM'
  check "without MIT-SHM no shared segment is mapped" \
    bash -c "! grep -q SYSV /proc/$SAVER_PID/maps"
elif [ "$mode" = remote ]; then
  check "over TCP the server offers MIT-SHM" bash -c 'xdpyinfo | grep -q MIT-SHM'
  check "over TCP no shared segment is made" bash -c "! grep -q SYSV /proc/$SAVER_PID/maps"
else
  check "with MIT-SHM the frames go through a removed shared segment" \
    grep -q 'SYSV.*(deleted)' "/proc/$SAVER_PID/maps"
fi
stop_saver TERM
check "SIGTERM ends -root with 0 (got $EXIT)" [ "$EXIT" = 0 ]
check "nothing on stderr" [ ! -s "$TEST_DIR/saver.err" ]

# -fps: the rate written in white (every channel bit set) in the top-left corner, the frame
# unchanged.
if [ "$mode" = shm ]; then
  white=$(((1 << depth) - 1)) white_bytes=""
  for _ in $(seq "$RAW_BYTES"); do
    white_bytes+=$(printf %02x $((white & 255))); white=$((white >> 8))
  done
  start_saver -root -fps "${QUICK[@]}"
  check "-root -fps at $depth bits: the frame is unchanged" shows root 192 144 640 480 "$expected"
  grab root 0 0 160 20 "$TEST_DIR/corner.raw"
  check "-fps: the top-left corner shows white ($white_bytes)" \
    grep -qx "$white_bytes" <(od -An -v -tx1 -w"$RAW_BYTES" "$TEST_DIR/corner.raw" | tr -d ' ')
  stop_saver TERM
fi

# --- a window given by id ---
plain_window 640 480; window=$WINDOW
colormap() { xwininfo -id "$window" | grep 'Colormap:'; }
given_colormap=$(colormap)
start_saver -window-id "$window" "${QUICK[@]}"
check "-window-id at $depth bits: the window shows the renderer's frame" \
  shows "$window" 0 0 640 480 "$expected"
if [ "$depth" = 8 ]; then
  # The indices are right; the colours through the window's colormap must be the palette's.
  "$SANDGLASS_BIN/sandglass-render" --frames "$FRAMES" --dt "$DT" --bpp 8 \
    --png "$TEST_DIR/reference-8.png" >/dev/null
  xwd -id "$window" -silent >"$TEST_DIR/colormapped.xwd"
  check "at 8 bits the window's colormap is the fixed palette" cmp -s \
    <(convert "$TEST_DIR/colormapped.xwd" -depth 8 rgb:-) \
    <(convert "$TEST_DIR/reference-8.png" -depth 8 rgb:-)
fi
stop_saver TERM
check "SIGTERM ends -window-id with 0 (got $EXIT)" [ "$EXIT" = 0 ]
# The window is left with its own colormap, installed (at 8 bits it had the palette's): else
# the daemon's window would keep a freed one, and the next program could not use it.
check "the window's colormap is its own again" [ "$(colormap)" = "$given_colormap" ]
finish
