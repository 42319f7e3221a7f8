#!/bin/bash
# Pacing where the vertical-blank wait does not wait (Wine's returns at once): the running saver
# presents one frame per refresh of the 60 Hz display, not one per 1 ms timer tick, and uses a
# small part of a core. Measured by tools/measure-saver over 5 s; run alone (RUN_SERIAL).
source "$(dirname "$0")/lib.sh"
TEST_DIR=$(mktemp -d "/tmp/sandglass-$TEST_NAME.XXXXXX")
trap 'rm -rf "$TEST_DIR"' EXIT

"$SANDGLASS_SOURCE/tools/measure-saver" "$SANDGLASS_BIN" 5 2>/dev/null | tee "$TEST_DIR/measure.txt"
fps=$(sed -n 's/^fps=//p' "$TEST_DIR/measure.txt")
cpu=$(sed -n 's/^cpu_percent=//p' "$TEST_DIR/measure.txt")
check "frames a second at the display's 60 Hz: $fps in 55..65" \
  awk -v f="$fps" 'BEGIN { exit !(f != "" && f >= 55 && f <= 65) }'
check "CPU of the saver's process: $cpu% of a core, at most 15%" \
  awk -v c="$cpu" 'BEGIN { exit !(c != "" && c <= 15) }'
finish
