#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real panel window under Xvfb speaking through a real speech-dispatcher of the test's own:
# each kind of message as one phrase in words, a key cutting off a readout still speaking, a
# notice that nothing cuts off, then the daemon killed mid-run: one line on standard error and the
# clip set from then on (heard through SDL's disk audio as clip tags). Last, a panel whose service
# cannot be reached speaks with its clips from the start.
#
# usage: e2e_speech_window.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"
source "$here/speech_service.sh"

build=$(cd "${1:?usage: e2e_speech_window.sh BUILD_DIR}" && pwd)
need Xvfb xdotool speech-dispatcher

extra_cleanup() { stop_speechd; }
e2e_workdir speech
speechd_dir="$work/speechd"
start_speechd "$speechd_dir" || exit 1
start_xvfb "$work" || exit 1
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
printf 'speech system\n' >settings.cfg
start_radiosim "$build/radiosim" "$work" || exit 1
start_speaking_panel "$build" || exit 1

heard() { speech_written; "$clip_tags" heard speech.raw; }

check "the start-up announcement through the service" wait_for 100 said "Orvane, version one point nine"
check "connected, as a phrase of its own" wait_for 100 said "connected"
wait_for 100 finished "connected"
check "the start-up announcement is not cut off by connected" finished "Orvane, version one point nine"

# key PHRASE KEYS...: presses the keys and waits until the service has finished the phrase.
key_says() {
  local phrase=$1
  shift
  press "$@"
  check "$* says \"$phrase\"" wait_for 100 said "$phrase"
  wait_for 100 finished "$phrase"
}
key_says "L S B, seven point one megahertz" f
key_says "preamp on" F1
key_says "power, one zero zero watts" p
key_says "R F gain" r
key_says "U S B" m
key_says "band, forty meters" b
key_says "tune on" t
key_says "tuner on" f
key_says "tune off" t
press h
check "H says the help" wait_for 100 said "Keys\."
check "the help to its last line" wait_for 300 finished " *Q, quit\."

# A key during a readout cuts it off: the next phrase starts, the readout never finishes.
press f
wait_for 100 said "U S B, seven point one megahertz"
press w
check "W during the frequency readout says the width" \
  wait_for 100 said "bandwidth two point four kilohertz"
check "the frequency readout was cut off" bash -c '! grep -q "^done U S B, seven point one" "$0"' \
  "$speechd_dir/said.log"

# The radio falls silent: "not connected" is a notice; a key pressed while it speaks waits for it.
echo "silent on" >radio.ctl
check "the lost radio is told" wait_for 200 said "not connected"
press f
wait_for 100 bash -c '[ "$(grep -c "^said not connected" "$0")" -ge 2 ]' "$speechd_dir/said.log"
check "the notice was spoken to its end before the key's answer" \
  bash -c 'grep "not connected" "$0" | head -2 | tr "\n" "|" | grep -qx "said not connected|done not connected|"' \
  "$speechd_dir/said.log"
echo "silent off" >radio.ctl
back() { [ "$(grep -c "^done connected" "$speechd_dir/said.log")" -ge 2 ]; }
check "the radio back is told" wait_for 200 back

# The daemon dies: the next key says so once on standard error and speaks with the clips.
stop_speechd KILL
phrases_before=$(said_count)
press s
lost() { grep -q "speech service: .*; speaking with the clip set" panel.out; }
check "the lost service is told on standard error" wait_for 100 lost
press f
quit_panel
check "panel exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "told once (got $(grep -c 'speech service' panel.out))" test "$(grep -c 'speech service' panel.out)" -eq 1
check "told in the debug log" grep -aq "speech service: .*the clip set speaks from now on" debug.dat
said_clips=$(heard | tr '\n' ' ')
check "after the loss the clips speak (heard: $said_clips)" \
  bash -c 'grep -Eq "s [0-9]+ .*(lsb|usb) 7 point 1 mhz quit delay" <<<"$0"' "$said_clips"
check "nothing more went to the service" test "$(said_count)" -eq "$phrases_before"

# No service to reach: clips from the start, told once, without waiting for a time-out.
mkdir unreachable && cd unreachable || exit 1
cp ../orvane.cfg ../settings.cfg .
ln -s "$(readlink ../com3)" com3
SPEECHD_ADDRESS="unix_socket:$work/no-such-socket" start_speaking_panel "$build" || exit 1
heard_here() { speech_written; "$clip_tags" heard speech.raw | tr '\n' ' '; }
started_by_clips() { heard_here | grep -q "ts 1 point 9"; }
check "no service: the start-up announcement by clips" wait_for 100 started_by_clips
# A key before the radio has answered would be answered "not connected", not with a frequency.
connected_by_clips() { heard_here | grep -q "ts 1 point 9 connected"; }
wait_for 150 connected_by_clips
unreachable() { grep -q "speech service: speech-dispatcher cannot be reached" panel.out; }
check "no service: told, as unreachable rather than slow" wait_for 150 unreachable
press f
quit_panel
check "no service: told once" test "$(grep -c "speech service" panel.out)" -eq 1
check "no service: keys by clips (heard: $(heard_here))" \
  bash -c 'grep -Eq "(lsb|usb) 7 point 1 mhz quit" <<<"$0"' "$(heard_here)"
cd "$work" || exit 1

if [ "$failures" -ne 0 ]; then
  echo "--- said.log"; said_log
  echo "--- panel.out"; cat panel.out unreachable/panel.out 2>/dev/null
  echo "--- heard"; "$clip_tags" heard speech.raw | tr '\n' ' '; echo
  echo "--- speech-dispatcher log"; tail -20 "$speechd_dir/log/speech-dispatcher.log"
  exit 1
fi
exit 0
