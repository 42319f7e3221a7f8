# Shared helpers for the Wayland program's tests. Source it, then start a compositor.
#
# Each test gets a scratch folder with its own XDG_RUNTIME_DIR and compositor; every process it
# starts is ended on exit. Compositors that refuse root (sway) run as an ordinary user made for
# the tests, with copies of the programs it may run. From CTest: SANDGLASS_BIN (the native bin
# folder) and SANDGLASS_SOURCE.

set -uo pipefail

: "${SANDGLASS_SOURCE:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${SANDGLASS_BIN:=$SANDGLASS_SOURCE/build/native/bin}"
TEST_NAME=$(basename "$0" .sh)
TEST_DIR=$(mktemp -d "/tmp/sandglass-$TEST_NAME.XXXXXX")
chmod 755 "$TEST_DIR"
RUN_DIR=$TEST_DIR/run
mkdir -m 700 "$RUN_DIR"
failures=0
started=()
COMPOSITOR_PID=""
AS_USER=()
trap session_end EXIT
trap 'exit 143' TERM INT HUP

# The frames every comparison uses: 120 of the renderer's default step.
FRAMES=120
DT=0.016666668

session_end() {
  local rc=$?
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$COMPOSITOR_PID" ] && kill "$COMPOSITOR_PID" 2>/dev/null
  wait 2>/dev/null
  if [ -n "${KEEP_TEST_DIR:-}" ]; then echo "kept $TEST_DIR"; else rm -rf "$TEST_DIR"; fi
  exit "$rc"
}

pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# check description command...: passes when the command succeeds.
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
finish() { [ "$failures" -eq 0 ] && echo "$TEST_NAME: all passed"; exit $((failures > 0)); }

# as_ordinary_user: later commands in AS_USER run as the tests' own user when this is root.
as_ordinary_user() {
  local user=sandglass-wl
  if [ "$(id -u)" -eq 0 ]; then
    id -u "$user" >/dev/null 2>&1 ||
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
      { echo "FAIL: cannot create the user $user"; exit 1; }
    chown "$user" "$RUN_DIR"
    AS_USER=(runuser -u "$user" --)
  fi
  # Programs where the user may run them.
  mkdir -m 755 "$TEST_DIR/bin"
  cp "$SANDGLASS_BIN/sandglass-wayland" "$SANDGLASS_BIN/pointer_nudge" "$TEST_DIR/bin/" &&
    chmod 755 "$TEST_DIR"/bin/*
}

# as_session command...: runs a command in the compositor's session.
as_session() {
  "${AS_USER[@]}" env -i PATH=/usr/bin:/bin HOME="$TEST_DIR" XDG_RUNTIME_DIR="$RUN_DIR" \
    WAYLAND_DISPLAY="${WAYLAND_NAME:-}" SWAYSOCK="${SWAY_SOCKET:-}" ${WAYLAND_DEBUG:+WAYLAND_DEBUG=1} "$@"
}

# start_compositor name command...: runs the compositor in the session; COMPOSITOR_PID is the
# compositor's own id (not runuser's or the subshell's).
start_compositor() {
  local name=$1 launcher
  shift
  as_session "$@" >"$TEST_DIR/$name.log" 2>&1 &
  launcher=$!
  started+=("$launcher")
  for _ in $(seq 100); do
    COMPOSITOR_PID=$(descendant "$launcher" "$name") && return 0
    sleep 0.02
  done
  return 1
}

# wait_socket: sets WAYLAND_NAME once the compositor's socket is there (10 s at most).
wait_socket() {
  local socket
  for _ in $(seq 200); do
    for socket in "$RUN_DIR"/wayland-*; do
      [ -S "$socket" ] && { WAYLAND_NAME=$(basename "$socket"); return 0; }
    done
    kill -0 "$COMPOSITOR_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# descendant pid name: the process of that name started under pid, if any.
descendant() {
  local pid up
  for pid in $(pgrep -x "$2"); do
    up=$pid
    while [ "$up" -gt 1 ]; do
      up=$(awk '{ print $4 }' "/proc/$up/stat" 2>/dev/null) || break
      [ "$up" = "$1" ] && { echo "$pid"; return 0; }
    done
  done
  return 1
}

# start_saver args...: runs the program in the session; its id in SAVER_PID (the program's
# own, not runuser's), its output in $TEST_DIR/saver.out and saver.err.
start_saver() {
  as_session "$TEST_DIR/bin/sandglass-wayland" "$@" >"$TEST_DIR/saver.out" 2>"$TEST_DIR/saver.err" &
  SAVER_LAUNCHER=$!
  started+=("$SAVER_LAUNCHER")
  SAVER_PID=""
  for _ in $(seq 100); do
    SAVER_PID=$(descendant "$SAVER_LAUNCHER" sandglass-wayla) && break
    sleep 0.02
  done
  [ -n "$SAVER_PID" ] || { fail "the program did not start"; SAVER_PID=$SAVER_LAUNCHER; }
  started+=("$SAVER_PID")
}

# wait_exit seconds: sets EXIT to the program's exit code, or to "running" after the time.
wait_exit() {
  local t=0
  while kill -0 "$SAVER_PID" 2>/dev/null; do
    sleep 0.05; t=$((t + 1))
    [ "$t" -ge $(($1 * 20)) ] && { EXIT=running; return; }
  done
  wait "$SAVER_LAUNCHER"; EXIT=$?
}

# stop_saver signal: sends it and waits up to 2 s; EXIT as wait_exit.
stop_saver() { kill -"$1" "$SAVER_PID" 2>/dev/null; wait_exit 2; }

# reference k: the renderer's last frame of the quick run at k times the size, as a PNG.
reference() {
  local file="$TEST_DIR/reference-$1.png"
  [ -f "$file" ] || "$SANDGLASS_BIN/sandglass-render" --frames "$FRAMES" --dt "$DT" \
    --scale "$1" --png "$file" >/dev/null
  echo "$file"
}

# frame_shown picture.png: the picture holds the reference frame at the largest whole factor
# that fits, in its middle, and black everywhere else.
frame_shown() {
  local width height k left top
  read -r width height < <(identify -format '%w %h\n' "$1") || return 1
  k=$((width / 640 < height / 480 ? width / 640 : height / 480))
  [ "$k" -ge 1 ] || return 1
  left=$(((width - 640 * k) / 2)); top=$(((height - 480 * k) / 2))
  convert "$1" -crop "$((640 * k))x$((480 * k))+$left+$top" +repage "$TEST_DIR/middle.png" &&
    [ "$(compare -metric AE "$(reference "$k")" "$TEST_DIR/middle.png" null: 2>&1)" = 0 ] &&
    convert "$1" -fill black -draw \
      "rectangle $left,$top $((left + 640 * k - 1)),$((top + 480 * k - 1))" \
      -format %c histogram:info:- >"$TEST_DIR/around.txt" &&
    [ "$(grep -c . "$TEST_DIR/around.txt")" = 1 ] && grep -q '#000000' "$TEST_DIR/around.txt"
}

# one_line file [pattern]: the file holds exactly one line (matching the pattern).
one_line() { [ "$(wc -l <"$1")" -eq 1 ] && grep -q -- "${2:-}" "$1"; }

# cpu_ticks pid: user plus system time of a process so far, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
