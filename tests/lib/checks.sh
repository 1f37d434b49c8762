# Shared pieces of the end-to-end test scripts; sourced, not run.

failures=0

# check DESCRIPTION COMMAND...: runs the command, reports ok or FAIL, counts failures.
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# wait_for TENTHS COMMAND...: waits up to TENTHS tenths of a second for the command to succeed.
wait_for() {
  local tenths=$1 i
  shift
  for ((i = 0; i < tenths; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

# ended PID: whether the process has ended (gone, or a zombie waiting for us).
ended() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)
  [ -z "$state" ] || [ "$state" = Z ]
}

# start_xvfb DIR: starts an X server of our own, exports DISPLAY and sets xvfb_pid. -noreset keeps
# it alive between clients: otherwise it resets when its last client leaves, and a program
# connecting at that moment silently loses its display.
start_xvfb() {
  local dir=$1 has_display
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp -noreset 3>"$dir/display" \
    >"$dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  has_display() { grep -q . "$dir/display" 2>/dev/null; }
  if ! wait_for 100 has_display; then
    echo "FAIL Xvfb did not start"
    cat "$dir/xvfb.log"
    return 1
  fi
  export DISPLAY=":$(head -1 "$dir/display")"
}

# The commands the simulated radio received, from its log.
radio_commands() { awk '$2 !~ /^[@#]/ {print $2}' "${1:-radio.log}"; }
