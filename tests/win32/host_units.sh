#!/bin/bash
# The host's rules in one process (host_units.exe, GoogleTest) under Xvfb: the mouse rule reads
# the real cursor, and the password setting is read with the stand-in PASSWORD.CPL, which the
# program copies into the prefix's system directory itself from the bin directory.
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768

export HOST_UNITS_STANDINS=$(windows_path "$SANDGLASS_BIN")
wine "$SANDGLASS_BIN/host_units.exe" >"$TEST_DIR/host_units.log" 2>&1
status=$?
grep -E '^\[( +OK|  FAILED|  PASSED) |Failure|error|Expected|Which is|  Actual' "$TEST_DIR/host_units.log"
expect_eq "host_units.exe exit code" 0 "$status"
check "the tests ran" grep -q '^\[  PASSED  \] [1-9][0-9]* tests' "$TEST_DIR/host_units.log"
finish
