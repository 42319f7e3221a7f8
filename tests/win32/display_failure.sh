#!/bin/bash
# Display set-up that fails: the real saver with the scripted DirectDraw stand-in beside it,
# once with DirectDrawCreate failing and once with a desktop of 4 bits per pixel (neither can be
# had from Wine and Xvfb themselves). The window still covers the screen, paints its one line of
# Japanese text at (client width / 2 - 80, client height / 2), exactly as display_text_reference
# draws it as a Japanese system shows it, keeps running, and a key press ends it with 0.
#
#   display_failure.sh ja   a Japanese locale: Wine's ANSI code page 932, as on a Japanese system
#   display_failure.sh en   an English one (code page 1252): the same Japanese glyphs all the same
source "$(dirname "$0")/lib.sh"
export WINEDLLOVERRIDES="mscoree,mshtml=;ddraw=n"
case ${1:-ja} in
  ja) japanese_locale ;;
  en) unset LC_ALL LC_CTYPE; export LANG=en_US.UTF-8 ;;
esac
wine_session 24 1024x768

mkdir "$TEST_DIR/app"
cp "$SANDGLASS_BIN/sandglass.scr" "$SANDGLASS_BIN/fake_ddraw/ddraw.dll" "$TEST_DIR/app/"

# failing_run name reference environment...: runs the saver with the stand-in scripted by the
# environment and compares its screen with the reference text's.
failing_run() {
  local name=$1 reference=$2; shift 2
  wine_start "$SANDGLASS_BIN/display_text_reference.exe" "$reference"
  local reference_pid=$WINE_PID
  wait_window "Text reference" 20 >/dev/null
  sleep 1
  expect_eq "$name: the reference is drawn in the Japanese font" face=IPAGothic \
    "$(tr -d '\r' <"$TEST_DIR/display_text_reference.exe.log" | grep -m1 '^face=')"
  screenshot "$TEST_DIR/$name-expected.png"
  kill "$reference_pid"; wait "$reference_pid" 2>/dev/null
  sleep 0.5

  env "$@" wine "$TEST_DIR/app/sandglass.scr" /s >>"$TEST_DIR/$name.log" 2>&1 &
  WINE_PID=$!
  local window
  window=$(wait_window "Screen Saver" 20)
  check "$name: the saver window appears" test -n "$window"
  [ -n "$window" ] || return
  sleep 2
  screenshot "$TEST_DIR/$name.png"
  check "$name: the saver still runs" kill -0 "$WINE_PID"
  check "$name: the text box starts at (432, 384)" \
    test "$(pixel "$TEST_DIR/$name.png" 432 384),$(pixel "$TEST_DIR/$name.png" 431 384),$(pixel "$TEST_DIR/$name.png" 432 383)" \
    = "255,255,255,0,0,0,0,0,0"
  local differing
  differing=$(compare -metric AE "$TEST_DIR/$name.png" "$TEST_DIR/$name-expected.png" null: 2>&1)
  expect_eq "$name: the screen shows exactly the reference line" 0 "$differing"
  xdotool key a
  wine_wait "$WINE_PID" 10
  expect_eq "$name: a key press ends the saver with exit code 0" 0 "$WINE_EXIT"
}

failing_run no_directdraw setup FAKE_DDRAW_FAIL=create
failing_run four_bits colors FAKE_DDRAW_DEPTH=4
# The text tells the two failures apart.
differing=$(compare -metric AE "$TEST_DIR/no_directdraw.png" "$TEST_DIR/four_bits.png" null: 2>&1)
check "the two messages differ ($differing pixels)" test "${differing:-0}" -gt 100
finish
