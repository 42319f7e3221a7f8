#!/bin/bash
# What ships beside the program agrees with it: every argument the settings file can give is
# accepted (at the slider's ends and default); the manual page formats cleanly and names every
# option of the usage; make install's layout. No display needed.
source "$(dirname "$0")/lib.sh"
xml=$SANDGLASS_SOURCE/x11/sandglass.xml
man=$SANDGLASS_SOURCE/x11/sandglass.6

check "the settings file is well-formed XML" xmllint --noout "$xml"
# accepted args...: the options parse (help, given last, exits 0 only when all before it do).
accepted() { DISPLAY= "$SAVER" "$@" -h >/dev/null 2>&1; }
command=$(sed -n 's/.*<command arg="\([^"]*\)".*/\1/p' "$xml")
# shellcheck disable=SC2086
check "the command '$command' is accepted" accepted $command
slider=$(tr '\n' ' ' <"$xml" | grep -o '<number [^>]*>')
arg=$(sed -n 's/.* arg="\([^"]*\)".*/\1/p' <<<"$slider")
for end in low high default; do
  value=$(sed -n "s/.* $end=\"\\([0-9]*\\)\".*/\\1/p" <<<"$slider")
  # shellcheck disable=SC2086
  check "the slider's $end ($arg with $value) is accepted" accepted ${arg//%/$value}
done
default=$(sed -n 's/.* default="\([0-9]*\)".*/\1/p' <<<"$slider")
check "the slider's default is the program's default delay" \
  grep -q -- "-delay USEC .*default $default" <("$SAVER" -h)
while read -r setting; do
  # shellcheck disable=SC2086
  check "the setting '$setting' is accepted" accepted $setting
done < <(grep -o 'arg-set="[^"]*"' "$xml" | cut -d'"' -f2)
# The frame size: fill (no option: the program's default) or at most 1x, 2x, 3x.
sizes=$(tr '\n' ' ' <"$xml" | grep -o '<select id="scale">.*</select>' | grep -o '<option [^>]*>')
offered=$(sed -n 's/.*id="\([^"]*\)".*/\1/p' <<<"$sizes" | tr '\n' ' ')
check "the frame size offers fill, 1x, 2x, 3x (got: $offered)" [ "$offered" = "fill 1x 2x 3x " ]
check "fill sets no option" bash -c "grep 'id=\"fill\"' <<<'$sizes' | (! grep -q arg-set)"
check "fill is the program's default" grep -q -- "-scale N .*default: fill" <("$SAVER" -h)
for n in 1 2 3; do
  check "${n}x sets -scale $n" grep -q "id=\"${n}x\".*arg-set=\"-scale $n\"" <<<"$sizes"
done

check "the manual page formats without warnings" \
  bash -c "groff -man -Tutf8 -ww -z '$man' 2>&1 | (! grep .)"
for option in $("$SAVER" -h | grep -o '^  -[a-z-]*'); do
  pattern=$(sed 's/-/\\\\-/g' <<<"$option")
  check "the manual page describes $option" grep -q -- "^\\.B $pattern\\($\\| \\|,\\)" "$man"
done

# make install's layout, into a scratch DESTDIR.
DESTDIR=$TEST_DIR/root cmake --install "$SANDGLASS_BIN/.." --component x11 --prefix /usr/local \
  >/dev/null
for file in libexec/xscreensaver/sandglass share/xscreensaver/config/sandglass.xml \
            share/man/man6/sandglass.6; do
  check "install puts /usr/local/$file" [ -f "$TEST_DIR/root/usr/local/$file" ]
done
check "the installed program runs" "$TEST_DIR/root/usr/local/libexec/xscreensaver/sandglass" -h
finish
