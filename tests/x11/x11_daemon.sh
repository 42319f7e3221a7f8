#!/bin/bash
# The real XScreenSaver daemon runs the program on activation and ends it on deactivation.
# The daemon will not run savers as root, so under root it runs as an ordinary user made for
# this test (once; later runs reuse it). It reads a private ~/.xscreensaver naming the build's
# program with the settings file's -root command.
source "$(dirname "$0")/lib.sh"
command -v xscreensaver >/dev/null ||
  { echo "FAIL: xscreensaver is not installed (make deps)"; exit 1; }
x_session 24 1024x768

home=$TEST_DIR/home
mkdir -p "$home"
as_user=()
user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  user=sandglass-saver
  id -u "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
    { echo "FAIL: cannot create the user $user"; exit 1; }
  chown "$user" "$home"
  chmod 755 "$TEST_DIR"
  as_user=(runuser -u "$user" --)
fi
as_user+=(env HOME="$home" DISPLAY="$DISPLAY")

# The build's program where the user may run it; a copy where the build folder is closed to it.
program=$SAVER
if ! "${as_user[@]}" test -x "$program"; then
  cp "$SAVER" "$TEST_DIR/sandglass" && chmod 755 "$TEST_DIR/sandglass"
  program=$TEST_DIR/sandglass
fi
command=$(sed -n 's/.*<command arg="\([^"]*\)".*/\1/p' "$SANDGLASS_SOURCE/x11/sandglass.xml")
check "the settings file's command is -root" [ "$command" = "-root" ]
xscreensaver_settings "$home" "$program $command"
[ "$(id -u)" -eq 0 ] && chown "$user" "$home/.xscreensaver"

"${as_user[@]}" xscreensaver -no-splash -verbose >"$TEST_DIR/daemon.log" 2>&1 &
daemon=$!
started+=("$daemon")
# The daemon answers commands once it is up.
for _ in $(seq 100); do
  "${as_user[@]}" xscreensaver-command -version >/dev/null 2>&1 && break
  sleep 0.1
done

saver_pid() { pgrep -u "$user" -f "^$program " | head -1; }
"${as_user[@]}" xscreensaver-command -activate >/dev/null 2>&1
pid=""
for _ in $(seq 100); do pid=$(saver_pid); [ -n "$pid" ] && break; sleep 0.1; done
check "activation starts the program" [ -n "$pid" ]
if [ -n "$pid" ]; then
  window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
  check "... with the daemon's window in \$XSCREENSAVER_WINDOW ($window)" [ -n "$window" ]
  # It draws there: the daemon's full-screen window shows a picture in the middle, black around.
  sleep 1
  grab root 192 144 640 480 "$TEST_DIR/middle.raw"
  check "... and draws the frame in the middle of the screen" \
    bash -c "! cmp -s '$TEST_DIR/middle.raw' <(head -c $((640 * 480 * 3)) /dev/zero)"
  check "... black around it" framed root 1024 768 192 144 640 480
  "${as_user[@]}" xscreensaver-command -deactivate >/dev/null 2>&1
  gone=no
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || { gone=yes; break; }; sleep 0.1; done
  check "deactivation ends the program" [ "$gone" = yes ]
fi
if [ "$failures" -gt 0 ]; then echo "--- daemon log"; tail -30 "$TEST_DIR/daemon.log"; fi
finish
