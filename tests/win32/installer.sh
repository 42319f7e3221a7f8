#!/bin/bash
# The release's installer and uninstaller, run silently as an administrator's script runs them,
# in a 32-bit Wine prefix (argument win32) or a 64-bit one (win64): where the saver goes and that
# it is the built file, every value registered, the change broadcast, the saver started from the
# path Windows is given, a reinstall over a changed file, and uninstalls that take away all of
# their own and leave another choice of saver alone. In the 32-bit prefix also the installer's
# language, English or Japanese after the system's, and the zip archive's contents.
# Environment from CTest besides lib.sh's: SANDGLASS_SETUP (the installer), SANDGLASS_ARCHIVE
# (the zip archive), SANDGLASS_VERSION.
arch=${1:-win32}
export SANDGLASS_WINEARCH=$arch
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\sandglass'
desktop_key='HKCU\Control Panel\Desktop'
drive_c=$WINEPREFIX/drive_c
# Where a 32-bit saver belongs, as Windows names it and as the files lie in the prefix; and the
# loader of the system's native programs, for which that name must hold.
case $arch in
  win32)
    saver_dir='C:\windows\system32' saver_unix=$drive_c/windows/system32
    uninstall_dir='C:\Program Files\sandglass' uninstall_unix="$drive_c/Program Files/sandglass"
    native_wine=wine ;;
  win64)
    saver_dir='C:\windows\SysWOW64' saver_unix=$drive_c/windows/syswow64
    uninstall_dir='C:\Program Files (x86)\sandglass' uninstall_unix="$drive_c/Program Files (x86)/sandglass"
    native_wine=$(command -v wine64 || echo /usr/lib/wine/wine64) ;;
esac
saver="$saver_dir\\sandglass.scr"
uninstaller="$uninstall_dir\\uninstall.exe"

# reg_value key name [view]: the value's data as reg prints it, nothing when it is missing.
reg_value() {
  wine reg query "$1" /v "$2" /reg:"${3:-32}" 2>/dev/null | tr -d '\r' |
    sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
reg_has_key() { wine reg query "$1" /reg:"$2" >/dev/null 2>&1; }
reg_lacks_key() { ! reg_has_key "$@"; }

# watched command: runs a command line exactly as written through setting_watch.exe; WATCHED
# holds its report: the broadcast changes, then the exit code.
watched() { WATCHED=$(WATCH_COMMAND="$1" wine "$SANDGLASS_BIN/setting_watch.exe" 2>/dev/null | tr -d '\r'); }
watched_exit() { sed -n 's/^exit //p' <<<"$WATCHED"; }
watched_settings() { grep '^setting' <<<"$WATCHED" | tr '\n' ' '; }

install() { watched "$(windows_path "$SANDGLASS_SETUP") /S"; }

# --- a first install ---------------------------------------------------------------------------
echo "--- silent install, $arch (at ${SECONDS}s)"
install
expect_eq "install: exit code" 0x00000000 "$(watched_exit)"
expect_eq "install: screen saving switched on, broadcast" "setting 17 " "$(watched_settings)"
check "install: the saver is the built file" cmp -s "$SANDGLASS_BIN/sandglass.scr" "$saver_unix/sandglass.scr"
expect_eq "install: current saver" "$saver" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
expect_eq "install: screen saving on" 1 "$(reg_value "$desktop_key" ScreenSaveActive)"
current=$(reg_value "$desktop_key" SCRNSAVE.EXE)
expect_eq "install: the current saver's path names a file for native programs" found \
  "$("$native_wine" cmd /c "if exist $current (echo found) else (echo missing)" 2>/dev/null | tr -d '\r')"
if [ "$arch" = win64 ]; then
  check "install: nothing in the 64-bit system folder" test ! -e "$drive_c/windows/system32/sandglass.scr"
  check "install: no entry in the 64-bit registry view" reg_lacks_key "$uninstall_key" 64
fi

display_name=$(reg_value "$uninstall_key" DisplayName)
size_kb=$(( ($(stat -c %s "$saver_unix/sandglass.scr") + $(stat -c %s "$uninstall_unix/uninstall.exe") + 1023) / 1024 ))
while IFS='|' read -r name expected; do
  expect_eq "install: entry $name" "$expected" "$(reg_value "$uninstall_key" "$name")"
done <<EOF
DisplayName|Tessaly $SANDGLASS_VERSION
DisplayVersion|$SANDGLASS_VERSION
Publisher|Mirabel
DisplayIcon|$saver,0
InstallLocation|$uninstall_dir
UninstallString|"$uninstaller"
QuietUninstallString|"$uninstaller" /S
EstimatedSize|$(printf '0x%x' "$size_kb")
NoModify|0x1
NoRepair|0x1
EOF

# --- the saver Windows is told to run ----------------------------------------------------------
echo "--- the current saver, full screen (at ${SECONDS}s)"
xdotool mousemove 500 400 2>/dev/null
wine_start "$current" /s
saver_shown() { wait_window "Screen Saver" 20 >/dev/null; }
check "the current saver shows its full-screen window" saver_shown
sleep 0.5
xdotool mousemove 540 440 2>/dev/null
wine_wait "$WINE_PID" 20
expect_eq "the current saver ends with 0 on a mouse movement" 0 "$WINE_EXIT"

# --- reinstall over a changed file --------------------------------------------------------------
echo "--- reinstall (at ${SECONDS}s)"
echo "an older saver" >"$saver_unix/sandglass.scr"
reg_set "$desktop_key" SCRNSAVE.EXE REG_SZ 'C:\windows\system32\other.scr'
install
expect_eq "reinstall: exit code" 0x00000000 "$(watched_exit)"
check "reinstall: the file is replaced" cmp -s "$SANDGLASS_BIN/sandglass.scr" "$saver_unix/sandglass.scr"
expect_eq "reinstall: current saver again" "$saver" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
expect_eq "reinstall: one entry" 1 \
  "$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
     tr -d '\r' | grep -c 'DisplayName    REG_SZ    Tessaly')"

# A running saver cannot be overwritten: it is set aside instead, and still ends as it should.
echo "--- reinstall while the saver runs (at ${SECONDS}s)"
printf 'x' >>"$saver_unix/sandglass.scr"   # runs as before; tells the old file from the new
xdotool mousemove 500 400 2>/dev/null
wine_start "$saver" /s
check "reinstall while running: the old saver runs" saver_shown
install
expect_eq "reinstall while running: exit code" 0x00000000 "$(watched_exit)"
check "reinstall while running: the file is replaced" cmp -s "$SANDGLASS_BIN/sandglass.scr" "$saver_unix/sandglass.scr"
check "reinstall while running: the old file is set aside under a name no saver has" \
  test -e "$saver_unix/sandglass.scr.old"
xdotool mousemove 540 440 2>/dev/null
wine_wait "$WINE_PID" 20
expect_eq "reinstall while running: the old saver ends with 0" 0 "$WINE_EXIT"

# --- uninstall, whatever saver is current by then -----------------------------------------------
# The saver's short name, as the display settings may write it.
short=$(wine cmd /c "dir /x $saver" 2>/dev/null | tr -d '\r' | awk '$NF == "sandglass.scr" { print $(NF-1) }')
check "the saver has a short name" test -n "$short"

# uninstall_case description value_before value_after screen_saving_after broadcast
uninstall_case() {
  local what=$1 before=$2 after=$3 active=$4 broadcast=$5 quiet exe
  echo "--- uninstall: $what (at ${SECONDS}s)"
  [ -e "$saver_unix/sandglass.scr" ] || install
  if [ -n "$before" ]; then reg_set "$desktop_key" SCRNSAVE.EXE REG_SZ "$before"
  else wine reg delete "$desktop_key" /v SCRNSAVE.EXE /f >/dev/null 2>&1; fi
  reg_set "$desktop_key" ScreenSaveActive REG_SZ 1
  quiet=$(reg_value "$uninstall_key" QuietUninstallString)
  watched "$quiet"
  expect_eq "$what: exit code" 0x00000000 "$(watched_exit)"
  expect_eq "$what: broadcast" "$broadcast" "$(watched_settings)"
  expect_eq "$what: current saver after" "$after" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
  expect_eq "$what: screen saving after" "$active" "$(reg_value "$desktop_key" ScreenSaveActive)"
  check "$what: the saver is removed" test ! -e "$saver_unix/sandglass.scr"
  check "$what: the uninstaller and its folder are removed" test ! -e "$uninstall_unix"
  check "$what: the entry is removed" reg_lacks_key "$uninstall_key" 32
  # Nothing of it anywhere on the disk (but NSIS's emptied scratch folder in the user's
  # Temp) or in the registry, once Wine has written it out; but for the system's list of
  # files to delete at the next start, which still names the file set aside above (deleted
  # since: the entry then does nothing).
  wineserver -w
  expect_eq "$what: no file left" "" \
    "$(find "$drive_c" -path "$drive_c/users/*/Temp" -prune -o -iname '*sandglass*' -print)"
  expect_eq "$what: no registry key or value left" "" \
    "$(cat "$WINEPREFIX"/*.reg | grep -i 'sandglass' | grep -v '^"PendingFileRenameOperations"=')"
}
uninstall_case "this saver current" "$saver" "" 0 "setting 17 "
uninstall_case "this saver current by its short name" "$saver_dir\\$short" "" 0 "setting 17 "
uninstall_case "this saver current, other letter case" "${saver^^}" "" 0 "setting 17 "
uninstall_case "another saver current" 'C:\windows\system32\other.scr' 'C:\windows\system32\other.scr' 1 ""
uninstall_case "no saver current" "" "" 1 ""

# --- interactively, the current-saver option unchecked -----------------------------------------
# With real input: Next, untick the option's entry in the components list (its second), Install,
# and Finish with "Open the screen saver settings" left ticked. A stand-in for control.exe
# records how the settings are opened. It reinstalls while the saver's configure dialog holds
# the file, so the old file is set aside: the finish page is still the one that opens the
# settings, not one that restarts the computer.
# wait_page picture|plain: waits up to 20 s until the installer's window shows a page with the
# dark blue picture down its left side (welcome, finish) or one without it (the others).
wait_page() {
  local WINDOW X Y WIDTH HEIGHT SCREEN r g b
  for _ in $(seq 40); do
    eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)"
    screenshot "$TEST_DIR/page.png"
    IFS=, read -r r g b <<<"$(pixel "$TEST_DIR/page.png" $((X + 60)) $((Y + 200)))"
    if [ "${b:-0}" -gt $((${r:-0} + 60)) ]; then [ "$1" = picture ] && return 0
    else [ "$1" = plain ] && return 0; fi
    sleep 0.5
  done
  return 1
}
if [ "$arch" = win32 ]; then
  echo "--- interactive reinstall (at ${SECONDS}s)"
  install
  reg_set "$desktop_key" SCRNSAVE.EXE REG_SZ 'C:\windows\system32\other.scr'
  reg_set "$desktop_key" ScreenSaveActive REG_SZ 0
  rm -f "$saver_unix/control.exe"
  wine_start "$saver" /c
  dialog_pid=$WINE_PID
  dialog_shown() { wait_window 'Mirabel.*' 20 >/dev/null; }
  check "interactive: the saver's dialog holds the file" dialog_shown
  cp "$SANDGLASS_BIN/dialog_recorder.exe" "$saver_unix/control.exe"
  reg_set 'HKCU\Software\Wine\DllOverrides' control.exe REG_SZ native
  export DIALOG_RECORD; DIALOG_RECORD=$(windows_path "$TEST_DIR/control.log")
  wine_start "$SANDGLASS_SETUP"
  window=$(wait_window "Tessaly $SANDGLASS_VERSION Setup" 20)
  check "interactive: the installer's window" test -n "$window"
  check "interactive: the welcome page" wait_page picture
  xdotool mousemove --window "$window" 300 300 click 1 sleep 0.3 key Return 2>/dev/null
  check "interactive: the components page" wait_page plain
  xdotool mousemove --window "$window" 375 215 click 1 sleep 0.3 key Home Down space sleep 0.3 key Return 2>/dev/null
  check "interactive: the finish page" wait_page picture
  xdotool key Return 2>/dev/null
  wine_wait "$WINE_PID" 20
  expect_eq "interactive: exit code" 0 "$WINE_EXIT"
  check "interactive: the saver is the built file" cmp -s "$SANDGLASS_BIN/sandglass.scr" "$saver_unix/sandglass.scr"
  check "interactive: the old file is set aside" test -e "$saver_unix/sandglass.scr.old"
  expect_eq "interactive: registered" "Tessaly $SANDGLASS_VERSION" "$(reg_value "$uninstall_key" DisplayName)"
  expect_eq "interactive, option unticked: the current saver stays" 'C:\windows\system32\other.scr' \
    "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
  expect_eq "interactive, option unticked: screen saving stays off" 0 "$(reg_value "$desktop_key" ScreenSaveActive)"
  expect_eq "interactive: the finish page opens the screen-saver settings" \
    '"C:\windows\system32\control.exe" desk.cpl,,@screensaver' "$(cat "$TEST_DIR/control.log" 2>/dev/null | tr -d '\r')"
  kill "$dialog_pid" 2>/dev/null
fi

# --- icons ---------------------------------------------------------------------------------------
# icon_images file: the images of a program's icon or of an .ico file, one line each.
icon_images() { wine "$SANDGLASS_BIN/icon_images.exe" "$(windows_path "$1")" 2>/dev/null | tr -d '\r'; }
if [ "$arch" = win32 ]; then
  echo "--- icons (at ${SECONDS}s)"
  icon=$(icon_images "$SANDGLASS_SOURCE/win32/res/sandglass.ico")
  check "the program's icon has images" test -n "$icon"
  expect_eq "the installer's icon is the program's, image for image" "$icon" "$(icon_images "$SANDGLASS_SETUP")"
  expect_eq "the uninstaller's icon is the program's, image for image" "$icon" \
    "$(icon_images "$uninstall_unix/uninstall.exe")"
fi

# --- language ------------------------------------------------------------------------------------
# installer_title: the title of the installer's window, started interactively and then ended.
installer_title() {
  local title
  wine_start "$SANDGLASS_SETUP"
  title=$(wait_window 'Tessaly .*' 20 | head -1)
  [ -n "$title" ] && xdotool getwindowname "$title"
  wineserver -k; wineserver -w
}
if [ "$arch" = win32 ]; then
  echo "--- language (at ${SECONDS}s)"
  expect_eq "English system: English installer" "Tessaly $SANDGLASS_VERSION Setup" "$(LANG=en_US.UTF-8 installer_title)"
  expect_eq "Japanese system: Japanese installer" "Tessaly $SANDGLASS_VERSION セットアップ" \
    "$(japanese_locale; installer_title)"
fi

# --- the zip archive ----------------------------------------------------------------------------
if [ "$arch" = win32 ]; then
  echo "--- zip archive (at ${SECONDS}s)"
  mkdir "$TEST_DIR/zip"
  (cd "$TEST_DIR/zip" && cmake -E tar xf "$SANDGLASS_ARCHIVE")
  expect_eq "archive: its files" "README.txt sandglass.scr" "$(cd "$TEST_DIR/zip" && echo *)"
  check "archive: the saver is the built file" cmp -s "$SANDGLASS_BIN/sandglass.scr" "$TEST_DIR/zip/sandglass.scr"
  expect_eq "archive: the read-me's first line, after a byte-order mark, ends as Windows' do" \
    "$(printf '\357\273\277sandglass %s - a falling-sand hourglass screen saver for Windows\r' "$SANDGLASS_VERSION")" \
    "$(head -1 "$TEST_DIR/zip/README.txt")"
  expect_eq "archive: every line of the read-me ends as Windows' do" 0 "$(grep -c -v $'\r$' "$TEST_DIR/zip/README.txt")"
  # Its removal steps name the entry as Add/Remove Programs lists it, in English and Japanese.
  expect_eq "archive: the read-me names the entry \"$display_name\"" "1 1" \
    "$(grep -c "\"$display_name\"" "$TEST_DIR/zip/README.txt") $(grep -c "「$display_name」" "$TEST_DIR/zip/README.txt")"
fi

finish
