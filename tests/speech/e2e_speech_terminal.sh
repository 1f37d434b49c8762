#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The panel in a terminal of its own (no display) speaking through a real speech-dispatcher of the
# test's own: the start-up, a readout, a toggle and the help as phrases, a key cutting off a
# readout, and the daemon stopped mid-run: one line on the terminal, then the clip set.
#
# usage: e2e_speech_terminal.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"
source "$here/speech_service.sh"

build=$(cd "${1:?usage: e2e_speech_terminal.sh BUILD_DIR}" && pwd)
need python3 speech-dispatcher

runner_pid=""
extra_cleanup() {
  [ -n "$runner_pid" ] && kill -TERM "$(cat term.pid 2>/dev/null)" 2>/dev/null &&
    wait "$runner_pid" 2>/dev/null
  stop_speechd
}
e2e_workdir speech-terminal
speechd_dir="$work/speechd"
start_speechd "$speechd_dir" || exit 1
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 0\r\n' >orvane.cfg
start_radiosim "$build/radiosim" "$work" || exit 1
clip_tags="$build/clip_tags"
mkdir -p wave && "$clip_tags" make wave || exit 1

mkfifo term.ctl
exec {sound}> >(exec cat >speech.raw)
speech_pid=$!
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER TERM=xterm SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE="/dev/fd/$sound" python3 "$here/../term/pty_run.py" --control term.ctl \
  --screen term.screen --pid term.pid --keep-fd "$sound" -- "$build/orvane" --terminal \
  --speech system &
runner_pid=$!
exec {sound}>&-
wait_for 50 test -s term.pid || { echo "FAIL the terminal did not start"; exit 1; }
panel_pid=$(cat term.pid)
typed() { echo "keys $1" >term.ctl; }

check "the start-up announcement through the service" wait_for 100 said "Orvane, version one point nine"
check "connected" wait_for 100 finished "connected"
typed f
check "F: mode and frequency as one phrase" wait_for 100 finished "L S B, seven point one megahertz"
typed '\x1bOP'
check "F1: preamp on" wait_for 100 finished "preamp on"
typed h
check "H: the help" wait_for 100 said "Keys\."
typed f
wait_for 100 bash -c '[ "$(grep -c "^said L S B, seven point one megahertz" "$0")" -ge 2 ]' \
  "$speechd_dir/said.log"
typed w
check "W cuts off the frequency readout" wait_for 100 said "bandwidth two point four kilohertz"
check "the cut readout never finished" \
  test "$(grep -c "^done L S B, seven point one megahertz" "$speechd_dir/said.log")" -eq 1

stop_speechd TERM
typed s
lost() { grep -aq "speech service: .*; speaking with the clip set" term.screen; }
check "the service gone is told on the terminal" wait_for 100 lost
typed q
wait_for 150 ended "$runner_pid" || kill -KILL "$panel_pid"
wait "$runner_pid"
status=$?
check "exit code 0 (got $status)" test "$status" -eq 0
runner_pid=""
wait_for 50 ended "$speech_pid"
heard=$("$clip_tags" heard speech.raw | tr '\n' ' ')
check "after the loss the clips speak (heard: $heard)" \
  bash -c 'grep -Eq "^s [0-9]+ quit delay $" <<<"$0"' "$heard"
check "told once" test "$(grep -ac "speech service" term.screen)" -eq 1

if [ "$failures" -ne 0 ]; then
  echo "--- said.log"; said_log
  echo "--- screen"; tr -d '\r' <term.screen | tail -20
  exit 1
fi
exit 0
