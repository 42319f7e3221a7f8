#!/bin/bash
# The Debian package as a user meets it: built, checked by lintian, installed with dpkg; the real
# XScreenSaver daemon runs the installed program after sandglass-xscreensaver-add and keeps the
# user's own program; MATE's saver runs it from its entry; a purge removes every file. It
# installs into the system, so a trap purges the package and removes the user it made whatever
# happens (CTest runs it alone).
source "$(dirname "$0")/../x11/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "skipped: dpkg -i needs root"; exit 77; }
state=$(dpkg-query -W -f='${db:Status-Status}' sandglass 2>/dev/null)
if [ -n "$state" ] && [ "$state" != not-installed ]; then
  echo "FAIL: the package sandglass is on this machine already ($state); the test would purge it"
  exit 1
fi

user=sandglass-package
made_user=""
installed=""
mounted=""
package_end() {
  local rc=$? pid
  [ -n "$mounted" ] && umount "$mounted"
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -n "$made_user" ]; then
    for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.1; done
    for pid in $(pgrep -u "$user"); do kill "$pid" 2>/dev/null; done
    sleep 0.2
    userdel "$user" || echo "FAIL: the user $user could not be removed"
  fi
  [ -n "$installed" ] && dpkg --purge sandglass >/dev/null 2>&1
  (exit "$rc")
  x_session_end
}
trap package_end EXIT

# --- the package ---------------------------------------------------------------------------------
work=$SANDGLASS_BIN/../package-test
if "$SANDGLASS_SOURCE/tools/make-deb" "$work" "$work/dist" >"$TEST_DIR/build.log" 2>&1; then
  pass "the package builds"
else
  fail "the package builds"; tail -20 "$TEST_DIR/build.log"; finish
fi
deb=$(ls "$work"/dist/sandglass_*.deb)
check "lintian finds no error and no warning" \
  bash -c "lintian --fail-on error,warning '$deb' 2>&1 | grep -v 'root privileges'; exit \${PIPESTATUS[0]}"
# Exactly these files: none under /usr/local, none of another package's.
LC_ALL=C sort >"$TEST_DIR/expected" <<END
/usr/bin/sandglass-wayland
/usr/bin/sandglass-xscreensaver-add
/usr/libexec/xscreensaver/sandglass
/usr/share/applications/screensavers/sandglass.desktop
/usr/share/doc/sandglass/README.md.gz
/usr/share/doc/sandglass/changelog.Debian.gz
/usr/share/doc/sandglass/copyright
/usr/share/lintian/overrides/sandglass
/usr/share/man/man1/sandglass-xscreensaver-add.1.gz
/usr/share/man/man6/sandglass.6.gz
/usr/share/man/man6/sandglass-wayland.6.gz
/usr/share/xscreensaver/config/sandglass.xml
END
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | LC_ALL=C sort >"$TEST_DIR/files"
check "the package holds exactly the expected files" diff "$TEST_DIR/expected" "$TEST_DIR/files"
installed=yes
check "dpkg -i installs it" bash -c "dpkg -i '$deb' >'$TEST_DIR/dpkg.log' 2>&1"
dpkg -L sandglass >"$TEST_DIR/installed"
check "its MATE and Xfce entry is valid" \
  desktop-file-validate /usr/share/applications/screensavers/sandglass.desktop

# --- an ordinary user with a program of their own ---------------------------------------------
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
    { fail "cannot create the user $user"; finish; }
  made_user=yes
fi
home=$TEST_DIR/home
mkdir -p "$home"
chmod 755 "$TEST_DIR"
# Their list holds one program, the one that mode "one" runs (numbered from 0).
xscreensaver_settings "$home" "deco --root"
chown -R "$user" "$home"
x_session 24 1024x768
as_user=(runuser -u "$user" -- env HOME="$home" DISPLAY="$DISPLAY" NO_AT_BRIDGE=1)
"${as_user[@]}" xscreensaver -no-splash -verbose >"$TEST_DIR/daemon.log" 2>&1 &
started+=("$!")
for _ in $(seq 100); do
  "${as_user[@]}" xscreensaver-command -version >/dev/null 2>&1 && break
  sleep 0.1
done

# --- XScreenSaver: the documented step, taken while the daemon runs ---------------------------
# A write that fails half way (a file system that fills up) must leave the user's settings as they
# were, not cut short: the settings padded to just under one page of a one-page tmpfs, which the
# longer list no longer fits.
full=$TEST_DIR/full
mkdir -p "$full"
if mount -t tmpfs -o size=4k tmpfs "$full" 2>/dev/null; then
  mounted=$full
  cp "$home/.xscreensaver" "$full/.xscreensaver"
  head -c $((4090 - $(stat -c %s "$full/.xscreensaver"))) /dev/zero | tr '\0' '!' >>"$full/.xscreensaver"
  cp "$full/.xscreensaver" "$TEST_DIR/before-full"
  check "a settings file that cannot be written whole is left as it was" bash -c \
    "! HOME='$full' sandglass-xscreensaver-add >/dev/null 2>&1 &&
     cmp -s '$full/.xscreensaver' '$TEST_DIR/before-full'"
else
  echo "skipped: no tmpfs could be mounted for the full file system case"
fi
"${as_user[@]}" sandglass-xscreensaver-add >"$TEST_DIR/add.out" 2>&1
number=$(sed -n 's/.*xscreensaver-command -select \([0-9]*\).*/\1/p' "$TEST_DIR/add.out")
check "sandglass-xscreensaver-add names the number to select ($number)" [ -n "$number" ]
cp "$home/.xscreensaver" "$TEST_DIR/after-add"
"${as_user[@]}" sandglass-xscreensaver-add >/dev/null 2>&1
check "... and a second run changes nothing" cmp -s "$home/.xscreensaver" "$TEST_DIR/after-add"
# A fixed number of frames, so that the screen can be compared with the renderer's frame.
sed -i "s|sandglass -root|& ${QUICK[*]}|" "$home/.xscreensaver"

# program_of command: the id of the user's process whose program is that file, within 10 s.
program_of() {
  local pid
  for _ in $(seq 100); do
    for pid in $(pgrep -u "$user"); do
      [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$1" ] && { echo "$pid"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
"${as_user[@]}" xscreensaver-command -select "${number:-1}" >/dev/null 2>&1
pid=$(program_of /usr/libexec/xscreensaver/sandglass)
check "selecting it runs the installed program" [ -n "$pid" ]
check "... which shows the renderer's frame in the middle of the screen" \
  shows root 192 144 640 480 "$(reference)"
check "... black around it" framed root 1024 768 192 144 640 480
"${as_user[@]}" xscreensaver-command -deactivate >/dev/null 2>&1
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
"${as_user[@]}" xscreensaver-command -activate >/dev/null 2>&1
pid=$(program_of /usr/libexec/xscreensaver/deco)
check "activation still runs the user's own program" [ -n "$pid" ]
"${as_user[@]}" xscreensaver-command -exit >/dev/null 2>&1
if [ "$failures" -gt 0 ]; then echo "--- daemon log"; grep -i "forked\|error\|exited" "$TEST_DIR/daemon.log" | tail -20; fi

# --- MATE: the entry, chosen through its settings, on an X server of its own ------------------
for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.1; done
x_server_start "$TEST_DIR/xvfb-mate.log" Xvfb -screen 0 1024x768x24 -nolisten tcp -noreset ||
  { fail "Xvfb did not start"; finish; }
started+=("$X_SERVER_PID")
as_user=(runuser -u "$user" -- env HOME="$home" DISPLAY="$DISPLAY" NO_AT_BRIDGE=1
         XDG_CURRENT_DESKTOP=MATE)
# The session ends on its own once the file "done" appears.
"${as_user[@]}" dbus-run-session -- sh -c '
  gsettings set org.mate.screensaver mode single &&
  gsettings set org.mate.screensaver themes "[\"screensavers-sandglass\"]" &&
  gsettings set org.mate.screensaver lock-enabled false || exit 1
  mate-screensaver --no-daemon >"$HOME/mate.log" 2>&1 &
  for _ in $(seq 100); do mate-screensaver-command --query >/dev/null 2>&1 && break; sleep 0.1; done
  mate-screensaver-command --activate
  while [ ! -e "$HOME/done" ]; do sleep 0.1; done
  mate-screensaver-command --exit' >"$TEST_DIR/mate-session.log" 2>&1 &
session=$!
started+=("$session")
pid=$(program_of /usr/libexec/xscreensaver/sandglass)
check "MATE's saver, activated, runs the installed program" [ -n "$pid" ]
sleep 1
grab root 192 144 640 480 "$TEST_DIR/mate.raw"
check "... which draws the frame in the middle of the screen" \
  bash -c "! cmp -s '$TEST_DIR/mate.raw' <(head -c $((640 * 480 * 3)) /dev/zero)"
check "... black around it" framed root 1024 768 192 144 640 480
touch "$home/done"
wait_exit "$session" 5
[ "$failures" -gt 0 ] && { echo "--- MATE"; tail -n 5 "$TEST_DIR/mate-session.log" "$home/mate.log"; }

# --- removal -----------------------------------------------------------------------------------
check "dpkg --purge removes it" bash -c "dpkg --purge sandglass >>'$TEST_DIR/dpkg.log' 2>&1"
installed=""
left=()
while read -r path; do
  [ -e "$path" ] && ! [ -d "$path" ] && left+=("$path")
done <"$TEST_DIR/installed"
[ -e /usr/share/doc/sandglass ] && left+=(/usr/share/doc/sandglass)
check "... with no file of it left (${left[*]})" [ ${#left[@]} -eq 0 ]
finish
