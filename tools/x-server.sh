# A private X server for a script: sourced by the test libraries and the run and measure scripts.
#
# x_server_start LOG SERVER [OPTIONS...]: starts SERVER (Xvfb, Xephyr) with OPTIONS, letting it
# pick a free display number and report it on -displayfd, so that servers started side by side
# never collide. Waits up to 10 s for the number, exports DISPLAY and sets X_SERVER_PID; returns
# 1, with the server's log on stderr, when no number came.
x_server_start() {
  local log=$1 number_file number=""
  shift
  number_file=$(mktemp)
  "$@" -displayfd 9 9>"$number_file" >"$log" 2>&1 &
  X_SERVER_PID=$!
  for _ in $(seq 100); do number=$(cat "$number_file"); [ -n "$number" ] && break; sleep 0.1; done
  rm -f "$number_file"
  if [ -z "$number" ]; then
    cat "$log" >&2
    return 1
  fi
  export DISPLAY=":$number"
}
