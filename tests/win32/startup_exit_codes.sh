#!/bin/bash
# Exit codes through real processes of the real sandglass.scr, started with exact command lines
# by startup_launch.exe, which reports the windows the saver shows and its exit code in full 32
# bits: the preview in a real parent window, lines that name no mode or no usable window, and the
# password change inside and outside the Windows 95 family. How every line is read is tested
# in-process (startup_units); these few cases check that each reading reaches the process's
# exit code. (Full screen and the configure dialog have scripts of their own.)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/startup_lib.sh"
wine_session 24 1024x768

# preview description line: the saver runs as the child of the launcher's 152 x 112 window
# until that window is destroyed; exit 0.
preview() {
  launch LAUNCH_WINDOW=1 LAUNCH_CLOSE_MS=800 LAUNCH_LINE="$2"
  local code
  code=$(launch_exit 20)
  expect_eq "$1: preview child" "class=WindowsScreenSaverClass title=Preview size=152x112" \
    "$(launch_lines | grep '^child ' | cut -d' ' -f2-)"
  expect_eq "$1: exit code" 0x00000000 "$code"
}

# no_mode description line [window]: ends at once with -1 and shows nothing.
no_mode() {
  launch LAUNCH_WAIT_MS=10000 LAUNCH_WINDOW="${3:-}" LAUNCH_LINE="$2"
  local code
  code=$(launch_exit 15)
  expect_eq "$1: exit code" 0xFFFFFFFF "$code"
  expect_eq "$1: windows shown" 0 "$(($(window_count) + $(launch_lines | grep -c '^child ')))"
}

echo "--- preview (at ${SECONDS}s)"
preview "/p HWND" "sandglass.scr /p %H"
preview "/p HWND + 7 * 2^32 (wraps)" "sandglass.scr /p %W"

echo "--- no mode (at ${SECONDS}s)"
no_mode "/p 0" "sandglass.scr /p 0"
no_mode "/p of no window" "sandglass.scr /p %N"
no_mode "/a outside the 95 family" "sandglass.scr /a %H" 1
no_mode "unknown letter" "sandglass.scr /x"

echo "--- password change in the 95 family (stand-in MPR.DLL) (at ${SECONDS}s)"
as_win98 sandglass.scr
install_standin mpr sandglass.scr
standin_log="$TEST_DIR/standin.log"
standin_lines() { tr -d '\r' 2>/dev/null <"$standin_log"; }
# change_owner: the owner the stand-in was given (a decimal handle) and whether it is a window.
change_owner() {
  standin_lines | sed -n 's/^change provider=SCRSAVE owner=\([0-9]*\) owner-is-window=\([01]\) .*/\1 \2/p' | tail -1
}
launch LAUNCH_WINDOW=1 LAUNCH_LINE="sandglass.scr /a %H" SANDGLASS_STANDIN_LOG="$(windows_path "$standin_log")"
expect_eq "/a HWND: exit code" 0x00000000 "$(launch_exit 20)"
expect_eq "/a HWND: the stand-in asked once, for SCRSAVE" 1 "$(standin_lines | grep -c '^change provider=SCRSAVE ')"
expect_eq "/a HWND: owner" "$(log_field parent) 1" "$(change_owner)"
expect_eq "/a HWND: nothing else" "third=0 fourth=0" "$(standin_lines | grep -o 'third=.*' | tail -1)"
launch LAUNCH_WINDOW=2 LAUNCH_LINE="sandglass.scr a    %N" SANDGLASS_STANDIN_LOG="$(windows_path "$standin_log")"
expect_eq "a of no window: exit code" 0x00000000 "$(launch_exit 20)"
expect_eq "a of no window: owner is the foreground window" "$(log_field front) 1" "$(change_owner)"

finish
