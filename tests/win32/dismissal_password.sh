#!/bin/bash
# Password protection of the Windows 95 family (Wine reports it to sandglass.scr), with the
# stand-in PASSWORD.CPL as the verifier: a refused verification keeps the saver running with the
# cursor hidden and the reference re-read, and refuses another request within 200 ms without
# asking; nothing that happens while the dialog is open opens a second one; a granted one
# closes; the system's screen-saver-running state follows the verifier. Without protection, or
# without PASSWORD.CPL, or outside the 95 family, the first close wins. Then the password change
# through the stand-in MPR.DLL.
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768
SAVER="$SANDGLASS_BIN/sandglass.scr"
LOG="$TEST_DIR/standin.log"
export SANDGLASS_STANDIN_LOG=$(windows_path "$LOG")
DESKTOP='HKCU\Control Panel\Desktop'
as_win98 sandglass.scr
install_standin password
# No window manager runs under Xvfb: Wine is told not to wait for one whenever the verifier's
# dialog is hidden (two seconds each time otherwise).
reg_set 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N

source "$(dirname "$0")/host_lib.sh"
# Every start begins with an empty stand-in log.
start_fresh_saver() { : >"$LOG"; start_saver; }
logged() { grep -qF -- "$1" "$LOG" 2>/dev/null; }
not_logged() { ! grep -qF -- "$1" "$LOG" 2>/dev/null; }
verifications() { grep -c '^verify ' "$LOG" 2>/dev/null; }
# wait_logged text seconds: waits until the log holds text.
wait_logged() {
  local t=0
  while [ "$t" -lt $(($2 * 10)) ]; do logged "$1" && return 0; sleep 0.1; t=$((t + 1)); done
  return 1
}

# --- Refused, then granted --------------------------------------------------------------------
# The first verification answers 0; while its dialog is open it posts a close and a key to the
# saver and sends it WM_APP, and the cursor moves 3 pixels right; after it has closed it posts
# another key (a second close request within 200 ms).
reg_set "$DESKTOP" ScreenSaveUsePassword REG_DWORD 1
export SANDGLASS_VERIFY_ANSWERS=0,1 SANDGLASS_VERIFY_PROVOKE=1 SANDGLASS_VERIFY_MOVE=3
check "saver window appears" start_fresh_saver
check "PASSWORD.CPL was loaded" logged "attach password"
expect_eq "the system is told a saver runs" "running 1" "$(send running)"

expect_eq "a WM_APP from outside is answered by DefWindowProcA" "send app 0 0 -> 0" \
  "$(send send:app:0:0 post:app:0:0 sleep:300 | head -1)"
expect_eq "and opens no dialog" 0 "$(verifications)"

xdotool key a
wait_logged "after cursor" 15
sleep 0.5   # room for the close request posted after the dialog
sed 's/^/     /' "$LOG"
check "a refused verification keeps the saver running" running
expect_eq "one dialog: the closes during it and the one after it were refused without asking" \
  1 "$(verifications)"
check "the verifier was given the saver window" \
  logged "saver=1 class=WindowsScreenSaverClass title=Screen Saver running=1 depth=1"
check "the saver window has no input context" logged "ime=none"
check "no verification ran inside another" not_logged "depth=2"
check "the WM_APP sent during the dialog was not a verification" logged "provoked app=0"
check "the cursor was hidden again after the refusal" logged "after cursor=hidden"

# The cursor now stands 3 pixels right of where the key was pressed; the reference was read
# again there when the verification was refused, so 3 more pixels (6 from the start) must not
# close.
xdotool mousemove_relative 3 0
sleep 0.7
check "a 3-pixel move from where the cursor stood after the refusal keeps it running" running
expect_eq "and asks nothing" 1 "$(verifications)"

xdotool key a
ends_with_zero "a granted verification"
expect_eq "two dialogs in all" 2 "$(verifications)"
check "PASSWORD.CPL was freed" logged "detach password"
expect_eq "the system is told the saver stopped" "running 0" "$(send running)"
unset SANDGLASS_VERIFY_PROVOKE SANDGLASS_VERIFY_MOVE

# --- The first close wins ---------------------------------------------------------------------
export SANDGLASS_VERIFY_ANSWERS=0
reg_set "$DESKTOP" ScreenSaveUsePassword REG_DWORD 0
check "saver window appears (protection off)" start_fresh_saver
send post:close:0:0 >/dev/null
ends_with_zero "with protection off the first WM_CLOSE"
check "no password component was loaded (protection off)" not_logged "attach"

reg_set "$DESKTOP" ScreenSaveUsePassword REG_DWORD 1
remove_standin password
check "saver window appears (no PASSWORD.CPL)" start_fresh_saver
expect_eq "without a verifier the system is not told a saver runs" "running 0" "$(send running)"
send post:close:0:0 >/dev/null
ends_with_zero "without PASSWORD.CPL the first WM_CLOSE"

install_standin password
reg_set "HKCU\\Software\\Wine\\AppDefaults\\sandglass.scr" Version REG_SZ winxp
check "saver window appears (outside the 95 family)" start_fresh_saver
send post:close:0:0 >/dev/null
ends_with_zero "outside the 95 family the first WM_CLOSE"
check "no password component was loaded (outside the 95 family)" not_logged "attach"
as_win98 sandglass.scr

# --- Password change --------------------------------------------------------------------------
install_standin mpr sandglass.scr
: >"$LOG"
wine "$SANDGLASS_BIN/host_send.exe" owner:8000 >"$TEST_DIR/owner.out" 2>/dev/null &
OWNER_PID=$!
for _ in $(seq 100); do grep -q '^owner ' "$TEST_DIR/owner.out" && break; sleep 0.1; done
owner=$(sed -n 's/^owner \([0-9]*\).*/\1/p' "$TEST_DIR/owner.out")
timeout 20 wine "$SAVER" /a "$owner" >/dev/null 2>&1
expect_eq "the password change ends with 0" 0 "$?"
sed 's/^/     /' "$LOG"
check "PwdChangePasswordA got SCRSAVE, the owner window and two zeros" \
  logged "change provider=SCRSAVE owner=$owner owner-is-window=1 third=0 fourth=0"
check "MPR.DLL was freed" logged "detach mpr"
kill "$OWNER_PID" 2>/dev/null

finish
