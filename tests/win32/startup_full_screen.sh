#!/bin/bash
# Full screen through real processes of the real sandglass.scr, started with exact command
# lines by startup_launch.exe (which reports the windows shown and the exit code in full 32
# bits): every spelling of the switch covers the screen until the mouse moves, then ends with 0.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/startup_lib.sh"
wine_session 24 1024x768

# full_screen description line: the saver covers the screen until the mouse moves; exit 0.
full_screen() {
  xdotool mousemove 500 400 2>/dev/null
  launch LAUNCH_LINE="$2"
  if wait_log 'class=WindowsScreenSaverClass' 20; then
    sleep 0.5
    xdotool mousemove 540 440 2>/dev/null
  fi
  local code
  code=$(launch_exit 20)
  expect_eq "$1: full-screen window" "WindowsScreenSaverClass 0,0,1024,768" \
    "$(log_field class '^window=') $(log_field rect '^window=')"
  expect_eq "$1: exit code" 0x00000000 "$code"
}

echo "--- full screen (at ${SECONDS}s)"
full_screen "/s" "sandglass.scr /s"
full_screen "-s" "sandglass.scr -s"
full_screen "s" "sandglass.scr s"
full_screen "//s" "sandglass.scr //s"
full_screen "/ s" "sandglass.scr / s"
full_screen "/s:123" "sandglass.scr /s:123"
full_screen "/s /c: the first letter counts" "sandglass.scr /s /c"
full_screen "tab and spaces after the name" $'sandglass.scr\t  /s'
full_screen "quoted name with spaces" '"C:\Program Files\Sand Glass\sandglass.scr" /s'

finish
