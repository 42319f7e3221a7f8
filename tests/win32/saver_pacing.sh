#!/bin/bash
# Pacing of the running saver, measured by tools/measure-saver; run alone (RUN_SERIAL).
#
# No argument: Wine's own DirectDraw, whose vertical-blank wait returns at once. The saver
# presents one frame per refresh of the 60 Hz display, not one per 1 ms timer tick, and uses a
# small part of a core (5 s).
#
# "stand-in": the tests' stand-in for ddraw.dll reporting displays of 60, 144, 240 and 540 Hz,
# with light frames and frames 8 ms heavier. Where its wait blocks to the next blank, the saver
# presents every k-th blank, k the whole number nearest to rate / 60 (so 60, 72, 60 and 60 frames
# a second; heavy frames may miss a blank), and presents hardly a frame later than its work and
# the display allowed. Where the wait returns at once, 55 to 65 frames a second at every rate.
# The limits leave room for a busy machine: a held frame on every blank, or one frame per blank
# at a fast rate, is far outside them. A case outside its limits is measured once more before it
# fails, since a pause of the whole process by a loaded machine (hundreds of milliseconds, seen)
# spoils one measurement; a fault of the pacing fails both.
source "$(dirname "$0")/lib.sh"
TEST_DIR=$(mktemp -d "/tmp/sandglass-$TEST_NAME.XXXXXX")
trap 'rm -rf "$TEST_DIR"' EXIT

# within value low high
within() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v != "" && v >= lo && v <= hi) }'; }

if [ "${1:-}" != stand-in ]; then
  for attempt in 1 2; do
    "$SANDGLASS_SOURCE/tools/measure-saver" "$SANDGLASS_BIN" 5 2>/dev/null | tee "$TEST_DIR/measure.txt"
    fps=$(sed -n 's/^fps=//p' "$TEST_DIR/measure.txt")
    cpu=$(sed -n 's/^cpu_percent=//p' "$TEST_DIR/measure.txt")
    within "$fps" 55 65 && within "$cpu" 0 15 && break
    [ "$attempt" = 1 ] && echo "outside the limits: measuring once more"
  done
  check "frames a second at the display's 60 Hz: $fps in 55..65" within "$fps" 55 65
  check "CPU of the saver's process: $cpu% of a core, at most 15%" within "$cpu" 0 15
  finish
fi

# rate, extra work (us), wait, frames a second: lowest and highest
while read -r hz work wait low high; do
  for attempt in 1 2; do
    "$SANDGLASS_SOURCE/tools/measure-saver" --stand-in "$hz" "$work" "$wait" "$SANDGLASS_BIN" 4 \
      2>/dev/null >"$TEST_DIR/measure.txt" </dev/null
    grep '^measure-saver' "$TEST_DIR/measure.txt"
    fps=$(sed -n 's/^fps=//p' "$TEST_DIR/measure.txt")
    late=$(sed -n 's/^late=//p' "$TEST_DIR/measure.txt")
    frames=$(sed -n 's/^frames=//p' "$TEST_DIR/measure.txt")
    within "$fps" "$low" "$high" &&
      { [ "$wait" != blocks ] || within "$((late * 10))" 0 "${frames:-0}"; } && break
    [ "$attempt" = 1 ] && echo "outside the limits: measuring once more"
  done
  what="$hz Hz, frames $work us heavier, wait $wait"
  check "$what: $fps frames a second in $low..$high" within "$fps" "$low" "$high"
  [ "$wait" = blocks ] &&
    check "$what: $late of $frames frames late, at most 1 in 10" within "$((late * 10))" 0 "${frames:-0}"
done <<'TABLE'
60 0 blocks 51 61
144 0 blocks 61 73
240 0 blocks 51 61
540 0 blocks 51 61
60 8000 blocks 40 61
144 8000 blocks 40 73
240 8000 blocks 40 61
540 8000 blocks 40 61
60 0 returns 55 65
144 0 returns 55 65
240 0 returns 55 65
540 0 returns 55 65
540 8000 returns 55 65
TABLE
finish
