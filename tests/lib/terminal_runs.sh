# SPDX-License-Identifier: GPL-3.0-or-later
# Pieces for end-to-end scripts that run the real panel in a terminal of its own (a pseudo-terminal
# made by tests/term/pty_run.py) against the simulated radio; sourced after checks.sh and
# panel_runs.sh. They expect $work and radio.log as panel_runs.sh does, and $orvane-like commands
# given to start_panel.
terminal_runs_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

runner_pid=""
extra_cleanup() {
  [ -n "$runner_pid" ] && kill -TERM "$(cat "$run.pid" 2>/dev/null)" 2>/dev/null &&
    wait "$runner_pid" 2>/dev/null
}

# start_panel RUN TERM [pty_run options] -- [orvane options]: the panel in a terminal of its own,
# with no display; its terminal output in RUN.screen, its speech in RUN.speech; sets panel_pid and
# waits until the status line shows the radio's frequency.
start_panel() {
  run=$1
  local term=$2 speech
  shift 2
  mkfifo "$run.ctl"
  exec {speech}> >(exec cat >"$run.speech")
  speech_pid=$!
  env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER TERM="$term" SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE="/dev/fd/$speech" python3 "$terminal_runs_dir/../term/pty_run.py" \
    --control "$run.ctl" --screen "$run.screen" --pid "$run.pid" \
    --settings-before "$run.before" --settings-after "$run.after" --keep-fd "$speech" "$@" &
  runner_pid=$!
  exec {speech}>&-
  wait_for 50 test -s "$run.pid" || { echo "FAIL $run: the terminal did not start"; return 1; }
  panel_pid=$(cat "$run.pid")
  wait_for 100 shows "$run" '[0-9]\.[0-9]{6}$' ||
    { echo "FAIL $run: no frequency on the status line"; cat -v "$run.screen" "$run.out"; return 1; }
}

# finish RUN: waits for the panel's end; sets status.
finish() {
  wait_for 150 ended "$runner_pid" || kill -KILL "$panel_pid"
  wait "$runner_pid"
  status=$?
  runner_pid=""
  wait_for 50 ended "$speech_pid"
}

typed() { echo "keys $2" >"$1.ctl"; }
# The status line as it stands now: rewritten in place on a terminal, the last line in a file.
status_line() {
  if [ -s "$1.out" ]; then tail -1 "$1.out"; return; fi
  perl -0ne 'my @s = /\r([^\r\n\e]*)\e\[K/g; print $s[-1] // ""' "$1.screen"
}
shows() { status_line "$1" | grep -Eq "$2"; }
# The commands the radio received after MARK, polls left out.
keys_since() { commands_since "$1" | grep -Evx 'FA|FB|SM0?|RM|ID' | tr '\n' ' ' | sed 's/ $//'; }
sent_since() { commands_since "$1" | grep -qx "$2"; }
# shows_frequency RUN COMMAND: the status line shows the frequency of a frequency command
# ("FA00007101000": 7.101000).
shows_frequency() {
  local digits=${2:2}
  shows "$1" "[^0-9]$((10#${digits:0:5}))\\.${digits:5:6}\$"
}
# settle MARK WHAT EXPECTED...: waits for the last command expected (half a second when none is),
# then until the panel has read the radio's frequency again, and checks what reached the radio.
# After a frequency command, it waits until the panel shows that frequency, so that each key is
# checked from a frequency the panel has read back from the radio.
settle() {
  local mark=$1 what=$2
  shift 2
  if [ $# -gt 0 ]; then wait_for 50 sent_since "$mark" "${!#}"; else sleep 0.5; fi
  local after
  after=$(radio_mark)
  wait_for 30 polled_twice "$after"
  if [[ "${!#}" =~ ^F[AB][0-9]{11}$ ]]; then wait_for 30 shows_frequency "$run" "${!#}"; fi
  check "$what: ${*:-nothing} (got $(keys_since "$mark"))" test "$(keys_since "$mark")" = "$*"
}
# key_gives RUN BYTES EXPECTED...: one key typed, and exactly these commands reach the radio.
key_gives() {
  local run=$1 bytes=$2 mark
  shift 2
  mark=$(radio_mark)
  typed "$run" "$bytes"
  settle "$mark" "$run: $bytes" "$@"
}
# type_slowly RUN KEYS...: each key 250 ms after the one before, faster than the panel speaks them.
type_slowly() {
  local run=$1 key
  shift
  for key in "$@"; do
    typed "$run" "$key"
    sleep 0.25
  done
}
same_settings() { cmp -s "$1.before" "$1.after"; }
