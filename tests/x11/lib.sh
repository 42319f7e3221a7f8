# Shared helpers for the X11 program's tests. Source it, then call x_session once.
#
# Each test gets an X server of its own (Xvfb at the depth it asks for) and a scratch folder;
# every process it starts is ended on exit. From CTest: SANDGLASS_BIN (the native bin folder,
# with the program, the renderer and the test helpers) and SANDGLASS_SOURCE.

set -uo pipefail

: "${SANDGLASS_SOURCE:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${SANDGLASS_BIN:=$SANDGLASS_SOURCE/build/native/bin}"
SAVER=$SANDGLASS_BIN/sandglass
source "$SANDGLASS_SOURCE/tools/x-server.sh"
TEST_NAME=$(basename "$0" .sh)
TEST_DIR=$(mktemp -d "/tmp/sandglass-$TEST_NAME.XXXXXX")
failures=0
started=()
XVFB_PID=""
trap x_session_end EXIT

# The frames every comparison uses: 120 of the renderer's default step, drawn quickly.
FRAMES=120
DT=0.016666668
QUICK=(-frames "$FRAMES" -dt "$DT" -delay 2000)

# x_session depth [WIDTHxHEIGHT] [Xvfb options...]: starts Xvfb and points DISPLAY at it.
x_session() {
  local depth=$1 size=${2:-1024x768}
  shift; [ $# -gt 0 ] && shift
  x_server_start "$TEST_DIR/xvfb.log" Xvfb -screen 0 "${size}x${depth}" -nolisten tcp -noreset "$@" ||
    { echo "FAIL: Xvfb did not start"; exit 1; }
  XVFB_PID=$X_SERVER_PID
  SCREEN_DEPTH=$depth
  SCREEN_WIDTH=${size%x*}
  SCREEN_HEIGHT=${size#*x}
  # Bytes a pixel in the raw frames compared: 24 bits come packed in 3; 15 and 30 bits are
  # held in 16 and 32.
  case $depth in
    15) RAW_BYTES=2 ;; 24) RAW_BYTES=3 ;; 30) RAW_BYTES=4 ;; *) RAW_BYTES=$((depth / 8)) ;;
  esac
}

x_session_end() {
  local rc=$?
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  if [ -n "${KEEP_TEST_DIR:-}" ]; then echo "kept $TEST_DIR"; else rm -rf "$TEST_DIR"; fi
  exit "$rc"
}

pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# check description command...: passes when the command succeeds.
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
finish() { [ "$failures" -eq 0 ] && echo "$TEST_NAME: all passed"; exit $((failures > 0)); }

# start_saver args...: runs the program in the background; its id in SAVER_PID, its output in
# $TEST_DIR/saver.out and saver.err.
start_saver() {
  "$SAVER" "$@" >"$TEST_DIR/saver.out" 2>"$TEST_DIR/saver.err" &
  SAVER_PID=$!
  started+=("$SAVER_PID")
}

# wait_exit pid seconds: sets EXIT to the exit code, or to "running" after the time is up.
wait_exit() {
  local pid=$1 t=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.05; t=$((t + 1))
    [ "$t" -ge $(($2 * 20)) ] && { EXIT=running; return; }
  done
  wait "$pid"; EXIT=$?
}

# stop_saver signal: sends it and waits up to 2 s; EXIT as wait_exit.
stop_saver() { kill -"$1" "$SAVER_PID" 2>/dev/null; wait_exit "$SAVER_PID" 2; }

# plain_window width height: a bare window (white) to hand over by id; its id in WINDOW. Not
# in a subshell: the helper must be ended with the test.
plain_window() {
  local file="$TEST_DIR/window.$1x$2"
  "$SANDGLASS_BIN/x_helper" window "$1" "$2" >"$file" 2>&1 &
  started+=("$!")
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.05; done
  WINDOW=$(cat "$file")
}

# own_window: the id of the program's own window, once mapped.
own_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name '^sandglass$' 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}

# rendered bpp [scale]: the renderer's last frame of the quick run in its layout for bpp, as raw
# bytes, scale times its size (default 1).
rendered() {
  local scale=${2:-1}
  local file="$TEST_DIR/reference-$1-x$scale.raw"
  [ -f "$file" ] || "$SANDGLASS_BIN/sandglass-render" --frames "$FRAMES" --dt "$DT" \
    --bpp "$1" --scale "$scale" --raw "$file" >/dev/null
  echo "$file"
}

# reference: that frame at this depth, at its own size. The renderer has no 5-5-5 or 10-10-10
# layout; there its 8-8-8 frame is packed by hand, each channel's top bits to the top of its mask.
reference() {
  local file="$TEST_DIR/reference-$SCREEN_DEPTH.raw" pack
  case $SCREEN_DEPTH in
    15) pack='pack "v*", map { ($_->[2] >> 3) << 10 | ($_->[1] >> 3) << 5 | $_->[0] >> 3 }' ;;
    30) pack='pack "V*", map { $_->[2] << 22 | $_->[1] << 12 | $_->[0] << 2 }' ;;
    *) rendered "$SCREEN_DEPTH"; return ;;
  esac
  [ -f "$file" ] || perl -0777 -ne "print $pack map { [unpack 'C3', \$_] } unpack '(a3)*', \$_" \
    "$(rendered 24)" >"$file"
  echo "$file"
}

# grab window x y width height out: a rectangle of a window (or "root") as raw pixel values.
grab() {
  local window=$1
  [ "$window" = root ] && window=$(xwininfo -root | awk '/Window id:/ { print $4 }')
  xwd -id "$window" -silent >"$TEST_DIR/grab.xwd" 2>/dev/null &&
    "$SANDGLASS_BIN/xwd_raw" "$TEST_DIR/grab.xwd" "$2" "$3" "$4" "$5" "$RAW_BYTES" >"$6"
}

# shows window x y width height expected.raw: the rectangle comes to equal the expected bytes
# within 10 s (frames finish at the machine's pace; a finished run's picture stays).
shows() {
  local got="$TEST_DIR/shows.raw" until=$((SECONDS + 10))
  # By the clock: a grab of a 4K screen takes a good part of a second.
  while [ "$SECONDS" -lt "$until" ]; do
    grab "$1" "$2" "$3" "$4" "$5" "$got" && cmp -s "$got" "$6" && return 0
    sleep 0.2
  done
  cmp "$got" "$6" | head -1
  return 1
}

# black window x y width height: every pixel of the rectangle is 0 (black in every layout).
black() {
  [ "$4" -le 0 ] || [ "$5" -le 0 ] && return 0
  local got="$TEST_DIR/black.raw"
  grab "$1" "$2" "$3" "$4" "$5" "$got" &&
    cmp -s "$got" <(head -c $(($4 * $5 * RAW_BYTES)) /dev/zero)
}

# framed window width height x y w h: the rectangle outside (x, y, w, h) is black.
framed() {
  black "$1" 0 0 "$2" "$5" && black "$1" 0 $(($5 + $7)) "$2" $(($3 - $5 - $7)) &&
    black "$1" 0 "$5" "$4" "$7" && black "$1" $(($4 + $6)) "$5" $(($2 - $4 - $6)) "$7"
}

# scaled_reference width height: the reference at 24 bits reduced to that size by taking the
# pixel under each target pixel's centre (ImageMagick's point filter).
scaled_reference() {
  local file="$TEST_DIR/reference-$1x$2.raw"
  convert -size 640x480 -depth 8 "bgr:$(rendered 24)" -filter point -resize "$1x$2!" "bgr:$file"
  echo "$file"
}

# shared_bytes pid: the size of the process's shared-memory segment (0 without one).
shared_bytes() {
  local range
  range=$(grep -m1 SYSV "/proc/$1/maps" | cut -d' ' -f1)
  [ -n "$range" ] || { echo 0; return; }
  echo $((16#${range#*-} - 16#${range%-*}))
}

# one_line file [pattern]: the file holds exactly one line (matching the pattern).
one_line() { [ "$(wc -l <"$1")" -eq 1 ] && grep -q -- "${2:-}" "$1"; }
