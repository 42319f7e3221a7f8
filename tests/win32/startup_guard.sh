#!/bin/bash
# The failure guard around the mode's run, under an access violation injected by startup_fault.exe
# (the real host with a faulting full-screen mode; see there). The process's unhandled-exception
# filter stands for the system's report of the fault and chooses the answer.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/startup_lib.sh"
wine_session 24 640x480

fault_program=$(windows_path "$SANDGLASS_BIN/startup_fault.exe")

# run_fault verdict: runs the program with that answer of the filter.
run_fault() {
  launch LAUNCH_PROGRAM="$fault_program" LAUNCH_LINE="startup_fault.exe" FAULT_VERDICT="$1"
  FAULT_EXIT=$(launch_exit 30)
}

# out key: the value of key=... in the program's output.
out() { log_field "$1"; }

echo "--- Windows 95 family, the filter asks for the handler"
as_win98 startup_fault.exe
run_fault execute
expect_eq "a run without a fault leaves the exception chain as it was" "-1 same" "$(out plain) $(log_field chain plain=)"
expect_eq "the fault is handed to the filter once" "1 0xC0000005" "$(launch_lines | grep -c '^filter=') $(out code)"
expect_eq "the frames inside are asked, then unwound" "asked,unwound," "$(out nested)"
expect_eq "the running state is switched off" 0 "$(out running)"
expect_eq "the exception chain is as before" same "$(log_field chain result=)"
expect_eq "dispatch_mode returns the exception's code" 0xC0000005 "$(out result)"
expect_eq "the process ends with it" 0xC0000005 "$FAULT_EXIT"

echo "--- Windows 95 family, the filter lets the faulting write run again"
run_fault continue
expect_eq "the filter is asked once" 1 "$(launch_lines | grep -c '^filter=')"
expect_eq "the frames inside are asked, not unwound" "asked," "$(out nested)"
expect_eq "the mode ends normally" 0x0000002A "$FAULT_EXIT"
expect_eq "the running state stays on" 1 "$(out running)"

echo "--- outside the 95 family"
reg_set 'HKCU\Software\Wine\AppDefaults\startup_fault.exe' Version REG_SZ winxp
run_fault execute
expect_eq "not the 95 family" 0 "$(out win9x)"
expect_eq "the process ends with the exception's code" 0xC0000005 "$FAULT_EXIT"
expect_eq "the system's running state is left alone" 1 "$(out running)"

finish
