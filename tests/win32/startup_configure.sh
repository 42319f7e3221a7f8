#!/bin/bash
# The configure mode through real processes of the real sandglass.scr, started with exact
# command lines by startup_launch.exe: which lines open the dialog, which window owns it (none,
# the window named by the line, or the foreground window), and the exit code in full 32 bits
# after Enter (1) or Esc (2).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/startup_lib.sh"
wine_session 24 1024x768

# dialog description line owner key code: the configure dialog with that owner (none, self:
# the window the line names, foreground: the foreground window), ended by key with code.
# The launcher makes two windows: its own, and a second one in the foreground.
dialog() {
  launch LAUNCH_WINDOW=2 LAUNCH_LINE="$2"
  if wait_log 'class=#32770' 20; then
    sleep 0.3
    dialog_key "$4"
  fi
  local code
  code=$(launch_exit 20)
  expect_eq "$1: dialog owner" "#32770 $3" "$(log_field class '^window=') $(log_field owner '^window=')"
  expect_eq "$1: exit code" "$5" "$code"
}

echo "--- configure dialog (at ${SECONDS}s)"
dialog "no switch" "sandglass.scr" none Return 0x00000001
dialog "only separators" "sandglass.scr - / -" none Escape 0x00000002
dialog "quoted name with spaces, no switch" '"C:\Program Files\Sand Glass\sandglass.scr"' none Return 0x00000001
dialog "quoted name holding /s" '"C:\saver /s\sandglass.scr"' none Escape 0x00000002
dialog "unclosed quote swallows /s" '"C:\Sand Glass\sandglass.scr /s' none Return 0x00000001
dialog "switch glued to the name" "sandglass.scr/s" none Escape 0x00000002
dialog "/c" "sandglass.scr /c" foreground Return 0x00000001
dialog "/c:HWND" "sandglass.scr /c:%H" self Escape 0x00000002
dialog "/c:HWND + 7 * 2^32 (wraps)" "sandglass.scr /C:%W" self Return 0x00000001
dialog "/c:1234 of no window" "sandglass.scr /c:%N" foreground Escape 0x00000002
dialog "/c HWND without the colon" "sandglass.scr /c %H" foreground Return 0x00000001

finish
