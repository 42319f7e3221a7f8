# Shared helpers for the Wine test scripts. Source it; then call wine_session once.
#
# Each test gets an X server of its own (Xvfb, the depth it asks for) and a private Wine prefix
# (a hard-linked copy of the build folder's wineprefix with its own registry; of wineprefix64
# where SANDGLASS_WINEARCH is win64), so tests may change the registry and run side by side.
# Everything is torn down on exit.
#
# Environment from CTest: SANDGLASS_BIN (the Windows flavour's bin directory) and
# SANDGLASS_SOURCE (the source tree).

set -uo pipefail

: "${SANDGLASS_SOURCE:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${SANDGLASS_BIN:=$SANDGLASS_SOURCE/build/windows/bin}"
source "$SANDGLASS_SOURCE/tools/x-server.sh"
# The template prefix belongs to the build folder whose programs are tested.
: "${SANDGLASS_WINEPREFIX:=$(dirname "$SANDGLASS_BIN")/wineprefix}"
: "${SANDGLASS_WINEPREFIX64:=$(dirname "$SANDGLASS_BIN")/wineprefix64}"
export SANDGLASS_WINEPREFIX SANDGLASS_WINEPREFIX64

TEST_NAME=$(basename "$0" .sh)
failures=0

# wine_session [depth] [width]x[height]: starts Xvfb and the private prefix.
wine_session() {
  local depth=${1:-24} size=${2:-1024x768}
  TEST_DIR=$(mktemp -d "/tmp/sandglass-$TEST_NAME.XXXXXX")
  trap wine_session_end EXIT
  "$SANDGLASS_SOURCE/tools/wine-prefix" clone "$TEST_DIR/prefix" || { echo "FAIL: no Wine prefix"; exit 1; }
  x_server_start "$TEST_DIR/xvfb.log" Xvfb -screen 0 "${size}x${depth}" -nolisten tcp -noreset ||
    { echo "FAIL: Xvfb did not start"; exit 1; }
  XVFB_PID=$X_SERVER_PID
  export WINEPREFIX="$TEST_DIR/prefix" WINEARCH=${SANDGLASS_WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  SCREEN_WIDTH=${size%x*}
  SCREEN_HEIGHT=${size#*x}
  SCREEN_DEPTH=$depth
}

# wine_session_monitors "WxH WxH...": a desktop of several monitors side by side, the first the
# primary: Xephyr with a screen per monitor joined by Xinerama, inside a private Xvfb (depth 24).
# Wine reads the monitors through Xinerama (the i386 libXinerama) once XRandR, which Xephyr
# lacks, is turned off for it. SCREEN_WIDTH x SCREEN_HEIGHT is then the virtual screen's size,
# PRIMARY_WIDTH x PRIMARY_HEIGHT the primary's.
wine_session_monitors() {
  local monitors=($1) screens=() m
  SCREEN_WIDTH=0 SCREEN_HEIGHT=0
  for m in "${monitors[@]}"; do
    screens+=(-screen "$m")
    SCREEN_WIDTH=$((SCREEN_WIDTH + ${m%x*}))
    [ "${m#*x}" -gt "$SCREEN_HEIGHT" ] && SCREEN_HEIGHT=${m#*x}
  done
  local width=$SCREEN_WIDTH height=$SCREEN_HEIGHT
  wine_session 24 "$((width + 64))x$((height + 64))"
  x_server_start "$TEST_DIR/xephyr.log" Xephyr "${screens[@]}" +xinerama -nolisten tcp -noreset ||
    { echo "FAIL: Xephyr did not start"; exit 1; }
  XEPHYR_PID=$X_SERVER_PID
  reg_set "HKCU\\Software\\Wine\\X11 Driver" UseXRandR REG_SZ N
  SCREEN_WIDTH=$width SCREEN_HEIGHT=$height
  PRIMARY_WIDTH=${monitors[0]%x*} PRIMARY_HEIGHT=${monitors[0]#*x}
}

wine_session_end() {
  local rc=$?
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  [ -n "${XEPHYR_PID:-}" ] && kill "$XEPHYR_PID" 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  if [ -n "${KEEP_TEST_DIR:-}" ]; then echo "kept $TEST_DIR"; else rm -rf "$TEST_DIR"; fi
  exit "$rc"
}

# wine_start program [args...]: starts a Windows program in the background; its process id
# (of the wine loader) is in WINE_PID, its output in $TEST_DIR/<program>.log.
wine_start() {
  local log="$TEST_DIR/$(basename "$1").log"
  wine "$@" >>"$log" 2>&1 &
  WINE_PID=$!
}

# wine_wait pid seconds: waits for a background program and sets WINE_EXIT to its exit code
# (the low 8 bits, as the wine loader reports it: -1 reads 255) or to "timeout" (the program is
# then killed). Not in a subshell: only the shell that started a program can wait for it.
wine_wait() {
  local pid=$1 limit=$2 t=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.1; t=$((t + 1))
    if [ "$t" -ge $((limit * 10)) ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; WINE_EXIT=timeout; return; fi
  done
  wait "$pid"; WINE_EXIT=$?
}

# wait_window name seconds: prints the X window id of the first visible window whose title is
# exactly name, or nothing after the time is up.
wait_window() {
  local name=$1 limit=$2 t=0 id
  while [ "$t" -lt $((limit * 10)) ]; do
    id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1; t=$((t + 1))
  done
  return 1
}

# screenshot file: the whole screen as PNG.
screenshot() { import -window root "$1" 2>/dev/null; }

# pixel file x y: prints "r,g,b" of one pixel of a screenshot (8-bit channels).
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+.5)],%[fx:int(255*p{$2,$3}.g+.5)],%[fx:int(255*p{$2,$3}.b+.5)]" info: 2>/dev/null
}

# reg_set key value type data: writes one registry value in the private prefix.
reg_set() { wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1; }

# as_win98 exe_name: Wine reports the Windows 95 family to that program alone.
as_win98() { reg_set "HKCU\\Software\\Wine\\AppDefaults\\$1" Version REG_SZ win98; }

# check description command...: runs a check; counts and prints failures.
check() {
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# expect_eq description expected actual
expect_eq() {
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}

# finish: the script's verdict, with the plain closing line.
finish() {
  if [ "$failures" -eq 0 ]; then echo "$TEST_NAME: all checks passed"; exit 0; fi
  echo "$TEST_NAME: $failures check(s) failed"; exit 1
}

# windows_path unix_path: the same file as Windows programs name it (Wine's Z: drive is /).
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }

# install_standin password|mpr [program...]: puts a stand-in password component of the Windows 95
# family (built as standin_password.dll / standin_mpr.dll) into the private prefix's system
# directory under its real name. Wine has an MPR.DLL of its own: the named programs are told to
# load the stand-in instead. The old file is removed first: the prefix's files are hard links.
install_standin() {
  local which=$1 system32="$WINEPREFIX/drive_c/windows/system32" name program; shift
  case $which in
    password) name=PASSWORD.CPL ;;
    mpr) name=mpr.dll ;;
    *) echo "install_standin: unknown stand-in $which"; return 1 ;;
  esac
  rm -f "$system32/$name"
  cp "$SANDGLASS_BIN/standin_$which.dll" "$system32/$name"
  for program in "$@"; do
    reg_set "HKCU\\Software\\Wine\\AppDefaults\\$program\\DllOverrides" "$which" REG_SZ native
  done
}

# remove_standin password|mpr: takes an installed stand-in away again.
remove_standin() {
  case $1 in
    password) rm -f "$WINEPREFIX/drive_c/windows/system32/PASSWORD.CPL" ;;
    mpr) rm -f "$WINEPREFIX/drive_c/windows/system32/mpr.dll" ;;
  esac
}

# japanese_locale: runs the programs of this test under a Japanese locale (Wine's ANSI code page
# becomes 932, Shift-JIS). The locale is compiled once into the build tree (no system change);
# call before wine_session.
japanese_locale() {
  local dir
  dir="$(dirname "$SANDGLASS_BIN")/locale"
  if [ ! -f "$dir/ja_JP.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$dir"
    (
      flock 9
      [ -f "$dir/ja_JP.UTF-8/LC_CTYPE" ] || localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8" >/dev/null 2>&1
    ) 9>"$dir.lock"
  fi
  export LOCPATH="$dir" LANG=ja_JP.UTF-8
}
