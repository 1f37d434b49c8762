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

# start_radiosim RADIOSIM DIR: the simulated radio on port 3 at 9600 baud, linked as DIR/com3, with
# its log in radio.log and its control FIFO radio.ctl; sets radio_pid and waits for the link.
start_radiosim() {
  local radiosim=$1 dir=$2
  "$radiosim" --dir "$dir" --port 3 --baud 9600 --log radio.log --control radio.ctl \
    2>radiosim.err &
  radio_pid=$!
  if ! wait_for 50 test -L "$dir/com3"; then
    echo "FAIL radiosim did not link com3"
    cat radiosim.err
    return 1
  fi
}
