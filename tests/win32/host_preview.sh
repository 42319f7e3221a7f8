#!/bin/bash
# The preview: host_preview.exe makes a parent window of 152 x 112 and starts the real saver as
# its child (sandglass.scr /p HANDLE). On the Windows 95 family, with password protection set and
# the stand-in PASSWORD.CPL present, the preview still loads no password component; no input,
# activation, power or system-command message closes it; help goes to the parent; the AutoPlay
# query closes it; destroying the parent ends it with 0, also while a full-screen saver runs.
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768
LOG="$TEST_DIR/standin.log"
export SANDGLASS_STANDIN_LOG=$(windows_path "$LOG")
as_win98 sandglass.scr
install_standin password
reg_set 'HKCU\Control Panel\Desktop' ScreenSaveUsePassword REG_DWORD 1
SAVER=$(windows_path "$SANDGLASS_BIN/sandglass.scr")

out=$(timeout 60 wine "$SANDGLASS_BIN/host_preview.exe" inputs "$SAVER" /p "{parent}" 2>/dev/null | tr -d '\r')
echo "$out" | sed 's/^/     /'
has() { grep -qxF -- "$1" <<<"$out"; }
check "the child appears" has "child 1"
check "its class is WindowsScreenSaverClass" has "class WindowsScreenSaverClass"
check "its title is Preview" has "title Preview"
check "it fills the parent's 152 x 112 client area" has "place 0 0 152 112"
check "it is a visible child clipping its children" has "style 52000000"
check "input, activation, power and system-command messages leave it running" has "alive-after-input 1 1"
check "WM_HELP is answered 1" has "help-result 1"
check "WM_HELP reaches the parent with the parent's handle" has "help-at-parent 1 wparam-is-parent 1"
check "the parent can read the HELPINFO that came with it" has "help-place 7 9"
check "WM_CONTEXTMENU is answered 1" has "menu-result 1"
check "WM_CONTEXTMENU reaches the parent with its handle and the same lParam" \
  has "menu-at-parent 1 wparam-is-parent 1 lparam-kept 1"
check "the AutoPlay query is answered 0 (no verifier)" has "autoplay-result 0"
check "the AutoPlay query ends the preview with 0" has "exit 0"
check "the child is gone" has "child-gone 1"
check "no password component was loaded" bash -c "! grep -q attach '$LOG' 2>/dev/null"

out=$(timeout 60 wine "$SANDGLASS_BIN/host_preview.exe" destroy "$SAVER" /p "{parent}" 2>/dev/null | tr -d '\r')
echo "$out" | sed 's/^/     /'
check "the child appears" has "child 1"
check "destroying the parent ends the preview with 0" has "exit 0"

# A preview does not look for a running full-screen saver: it runs beside one (here without
# password protection, so that the full-screen one closes at the first request).
reg_set 'HKCU\Control Panel\Desktop' ScreenSaveUsePassword REG_DWORD 0
out=$(timeout 90 wine "$SANDGLASS_BIN/host_preview.exe" beside "$SAVER" /p "{parent}" 2>/dev/null | tr -d '\r')
echo "$out" | sed 's/^/     /'
check "a full-screen saver runs" has "full-screen 1"
check "beside it the preview child appears" has "child 1"
check "the full-screen saver still ran then" has "full-screen-alive 1"
check "the preview ends with 0 when its parent is destroyed" has "exit 0"
check "the full-screen saver ends with 0" has "full-screen-exit 0"

# A parent that is no window: no window can be made, no message is taken, and the run reports
# -1 (255 through the wine loader). saver_run.exe calls the host without start-up's own check.
timeout 30 wine "$SANDGLASS_BIN/saver_run.exe" 1234567 >/dev/null 2>&1
expect_eq "a preview in a window that does not exist ends with -1" 255 "$?"

finish
