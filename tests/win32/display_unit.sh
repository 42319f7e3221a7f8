#!/bin/bash
# Display set-up and the saver procedure against the scripted DirectDraw stand-in: the unit
# tests need a display for their windows, and Wine must load the stand-in, not its own ddraw.
source "$(dirname "$0")/lib.sh"
export WINEDLLOVERRIDES="mscoree,mshtml=;ddraw=n"
wine_session 24 1024x768

wine "$SANDGLASS_BIN/fake_ddraw/display_test.exe" 2>"$TEST_DIR/stderr.log"
expect_eq "display_test exit code" 0 "$?"
finish
