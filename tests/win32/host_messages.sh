#!/bin/bash
# Messages from outside to the real full-screen saver (sandglass.scr /s), sent by host_send.exe
# to the window of class "WindowsScreenSaverClass" and title "Screen Saver": which of them end
# the saver, what the window answers, the refused system commands, the fixed title, the AutoPlay
# query of the Windows 95 family, and a second start while one saver runs.
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768
# No window manager runs under Xvfb: Wine is told not to wait for one when a window goes away
# (two seconds each time otherwise), so that a saver told to close ends at once and "running"
# can tell, and the verifier's dialog is hidden without delay.
reg_set 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N
SAVER="$SANDGLASS_BIN/sandglass.scr"
LOG="$TEST_DIR/standin.log"
export SANDGLASS_STANDIN_LOG=$(windows_path "$LOG")

# The saver's calls of DefWindowProcA are traced: a refused system command never gets there.
# (Wine's DefWindowProcA does nothing visible with SC_SCREENSAVE, so only the trace can tell.)
reg_set 'HKCU\Software\Wine\Debug' RelayInclude REG_SZ 'user32.DefWindowProcA'
SAVER_WINEDEBUG=-all,+relay
source "$(dirname "$0")/host_lib.sh"

# --- The window and its class ---------------------------------------------------------------
check "saver window appears" start_saver
out=$(send window class)
echo "$out" | sed 's/^/     /'
has() { grep -qxF -- "$1" <<<"$out"; }
# DirectDraw's exclusive mode adds WS_SYSMENU (0x80000) to the window's style under Wine.
style=$(sed -n 's/^window style=\([0-9a-f]*\) .*/\1/p' <<<"$out")
expect_eq "style WS_POPUP, WS_VISIBLE, WS_CLIPSIBLINGS, WS_CLIPCHILDREN" \
  96000000 "$(printf '%08x' $((0x${style:-0} & ~0x80000)))"
check "topmost, over the whole screen" grep -q " extended=8 place=0,0,$SCREEN_WIDTH,$SCREEN_HEIGHT\$" <<<"$out"
check "class style 0x2B, no icon, no cursor" has "class style=2b icon=0 cursor=0"

# --- Answers that leave the saver running -------------------------------------------------
out=$(send send:setcursor:0:0x2000001 settext:Hacked \
           send:syscommand:0xF040:0 send:syscommand:0xF050:0 send:syscommand:0xF140:0 \
           send:syscommand:0xF041:0 send:activateapp:1:0 send:power:1:0 send:power:2:0 \
           send:app:0:0 send:keyup:65:0 send:char:97:0 autoplay sleep:800 count)
echo "$out" | sed 's/^/     /'
check "WM_SETCURSOR is answered 1" has "send setcursor 0 0x2000001 -> 1"
check "WM_SETTEXT is answered 0 and the title stays" has "settext -> 0 title=Screen Saver"
check "SC_NEXTWINDOW is refused with 0" has "send syscommand 0xF040 0 -> 0"
check "SC_PREVWINDOW is refused with 0" has "send syscommand 0xF050 0 -> 0"
check "SC_SCREENSAVE is refused with 0" has "send syscommand 0xF140 0 -> 0"
check "exactly one saver window" has "count 1"
check "activation, WM_POWER 1 and 2, WM_APP, key up, a character and (outside the 95 family) the AutoPlay query leave it running" running
commands=$(grep -oE 'Call user32\.DefWindowProcA\([0-9a-f]+,00000112,0000f[0-9a-f]{3},' "$TEST_DIR/sandglass.scr.log" |
           sed -E 's/.*,0000(f[0-9a-f]{3}),$/\1/' | tr '\n' ' ')
expect_eq "of the system commands only 0xF041 (compared whole) reached DefWindowProcA" "f041 " "$commands"
SAVER_WINEDEBUG=   # later savers run untraced

# A second full-screen start finds the first, brings it to the front and ends at once with 0,
# registering no class and making no window. The calls it makes into user32 are traced (the
# relay lines whose return address lies in the program's own image, at 0x00400000).
first=$(send handle | sed -n 's/^handle //p')
reg_set 'HKCU\Software\Wine\Debug' RelayInclude REG_SZ 'user32.*'
WINEDEBUG=-all,+relay timeout 20 wine "$SAVER" /s >"$TEST_DIR/second.log" 2>&1
expect_eq "a second start ends with 0" 0 "$?"
calls=$(grep -oE 'Call user32\.[A-Za-z]+\([^)]*\) ret=004' "$TEST_DIR/second.log" |
        sed -E 's/^Call user32\.([A-Za-z]+)\(([^)]*)\).*/\1 \2/; s/([ ,])[0-9a-f]{8} "/\1"/g' | grep -v '^CharNextA')
echo "$calls" | sed 's/^/     /'
check "it looked for the running saver" grep -qxF 'FindWindowA "WindowsScreenSaverClass","Screen Saver"' <<<"$calls"
check "it brought the running saver to the front" grep -qx "SetForegroundWindow $first" <<<"$calls"
check "it registered no class and made no window" bash -c "! grep -qE '^(RegisterClassA|CreateWindowExA) ' <<<'$calls'"
out=$(send count)
check "still exactly one saver window" has "count 1"
check "the first saver still runs" running

send send:activateapp:0:0 >/dev/null
ends_with_zero "WM_ACTIVATEAPP 0 (deactivation)"

check "saver window appears" start_saver
send send:power:3:0 >/dev/null
ends_with_zero "WM_POWER 3 (critical resume)"

check "saver window appears" start_saver
send send:powerbroadcast:0x8013:0 >/dev/null
ends_with_zero "WM_POWERBROADCAST 0x8013"

# --- The AutoPlay query on the Windows 95 family ----------------------------------------------
as_win98 sandglass.scr
install_standin password

check "saver window appears (no password)" start_saver
out=$(send running autoplay)
check "without protection the system is not told a saver runs" has "running 0"
check "AutoPlay query without a verifier is answered 0" has "autoplay -> 0"
ends_with_zero "the AutoPlay query"
check "no password component was loaded" bash -c "! grep -q attach '$LOG' 2>/dev/null"

reg_set 'HKCU\Control Panel\Desktop' ScreenSaveUsePassword REG_DWORD 1
export SANDGLASS_VERIFY_ANSWERS=1
check "saver window appears (password)" start_saver
out=$(send autoplay)
check "AutoPlay query with a verifier is answered 1" has "autoplay -> 1"
ends_with_zero "the AutoPlay query (after the verifier let it close)"
expect_eq "the close went through the verifier once" 1 "$(grep -c '^verify ' "$LOG")"

finish
