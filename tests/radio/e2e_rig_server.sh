#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Other programs work the simulated radio through the real panel (a window under Xvfb) with
# Hamlib's network protocol, and get the answers Hamlib's own rigctld gives on the same radio:
#   the same requests, raw and through Hamlib's rigctl -m 2, first to rigctld -m 2014 on radiosim,
#   then to the panel's rig server on the same radiosim, compared answer by answer (for the mode,
#   the mode's name: rigctld's TS-2000 driver reports passbands the radio never had);
#   "F 7074000" reaches the radio and then the panel's own readout (F in the window);
#   "T 1" from a client that is then killed: "RX" on the wire within a second, and the panel says
#   "transmit" and "receive";
#   two clients at once each get their own answers, while the panel's polls go on.
#
# usage: e2e_rig_server.sh BUILD_DIR
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../lib/checks.sh"
source "$here/../lib/panel_runs.sh"

build=$(cd "${1:?usage: e2e_rig_server.sh BUILD_DIR}" && pwd)
radiosim="$build/radiosim"
client="python3 $(cd "$here" && pwd)/rig_client.py"
need Xvfb xdotool rigctl rigctld python3

rigctld_pid=""
extra_cleanup() {
  [ -n "$rigctld_pid" ] && kill -TERM "$rigctld_pid" 2>/dev/null && wait "$rigctld_pid" 2>/dev/null
  return 0
}
e2e_workdir rigserver
start_xvfb "$work" || exit 1
start_radiosim "$radiosim" "$work" || exit 1

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port_open() { python3 -c "import socket, sys; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null; }

# The same radio for both: VFO A and B, a steady S-meter.
set_radio() {
  printf 'freq a 14074000\nfreq b 14076000\nsmeter 20\n' >radio.ctl
}
# What both servers are asked, one connection, in order.
requests=(
  'F 14074000' 'f' '+f' ';f' '|f' ',f' '\get_freq' 'M USB 0' 'v' 's' '+s' 'S 1 VFOB' 's' 'f'
  'I 14076000' 'i' '+i' 'S 0 VFOA' 's' 'T 1' 't' '+t' 'T 0' 't' 'l STRENGTH' '+l STRENGTH'
  '\chk_vfo' '\get_powerstat' 'F abc' '+F abc' 'l FOO' 'V VFOA' 'f v'
)
# Each answer on one line, "|" for its line ends; "m" answers cut to the mode's name.
answers() {
  awk 'BEGIN { RS = "--\n" } { gsub("\n", "|"); print }' "$1"
}

# --- the reference: rigctld on the radio
ref_port=$(free_port)
set_radio
rigctld -m 2014 -r "$work/com3" -s 9600 -t "$ref_port" >rigctld.out 2>&1 &
rigctld_pid=$!
wait_for 100 port_open "$ref_port" || { echo "FAIL rigctld did not listen"; cat rigctld.out; exit 1; }
sleep 0.5
$client "$ref_port" "${requests[@]}" >reference.raw
$client "$ref_port" 'M USB 2400' 'm' >reference-mode.raw
rigctl -m 2 -r "127.0.0.1:$ref_port" f v s t i >reference-rigctl.out 2>/dev/null
kill -TERM "$rigctld_pid"
wait "$rigctld_pid" 2>/dev/null
rigctld_pid=""

# --- the panel, on the same radio, serving on a port of its own
port=$(free_port)
set_radio
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
printf 'rig-server 127.0.0.1:%s\n' "$port" >settings.cfg
start_speaking_panel "$build" || exit 1
connected() { grep -aq '^RX=FA' debug.dat 2>/dev/null; }
wait_for 100 connected || { echo "FAIL the panel never heard the radio"; cat panel.out; exit 1; }
wait_for 50 port_open "$port" || { echo "FAIL the panel did not listen"; cat panel.out; exit 1; }
set_radio
sleep 0.5  # a meter poll for the S-meter the radio shows now

$client "$port" "${requests[@]}" >panel.raw
$client "$port" 'M USB 2400' 'm' >panel-mode.raw
rigctl -m 2 -r "127.0.0.1:$port" f v s t i >panel-rigctl.out 2>/dev/null

mapfile -t want < <(answers reference.raw)
mapfile -t got < <(answers panel.raw)
for i in "${!requests[@]}"; do
  check "answer to ${requests[$i]}: rigctld's (${want[$i]:-}; got ${got[$i]:-})" \
    test "${want[$i]:-}" = "${got[$i]:-}"
done
check "M USB 2400 then m: the same mode (rigctld $(answers reference-mode.raw | tr '\n' ' '), \
panel $(answers panel-mode.raw | tr '\n' ' '))" \
  test "$(answers reference-mode.raw | cut -d'|' -f1)" = "$(answers panel-mode.raw | cut -d'|' -f1)"
check "Hamlib's rigctl -m 2 prints the same through both" \
  diff reference-rigctl.out panel-rigctl.out

# --- a frequency set reaches the radio and the panel's own readout
mark=$(radio_mark)
$client "$port" 'F 7074000' >set.raw
on_wire() { commands_since "$mark" | grep -qx "$1"; }
check "F 7074000 is on the wire" wait_for 20 on_wire FA00007074000
press f
readout() { heard | tr '\n' ' ' | grep -q 'usb 7 point 0 7 4 mhz'; }
check "the panel's F readout says the new frequency" wait_for 100 readout

# --- a client keys the radio and dies: the panel unkeys it
mark=$(radio_mark)
python3 - "$port" <<'PY' &
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"T 1\n")
s.recv(100)
time.sleep(60)
PY
keyer=$!
check "T 1 is on the wire" wait_for 50 on_wire TX
kill -KILL "$keyer"
wait "$keyer" 2>/dev/null
check "RX on the wire within a second of the client's end" wait_for 10 on_wire RX
check "the panel said transmit" wait_for 50 said_times transmit 1
check "the panel said receive" wait_for 50 said_times receive 1

# --- two clients at once, each its own answers, and the polls go on meanwhile
mark=$(radio_mark)
ask_many() { $client "$port" f m f m f m f m f m >"$1"; }
ask_many one.raw &
first=$!
ask_many two.raw &
second=$!
wait "$first" "$second"
for name in one two; do
  check "client $name got ten answers of its own" \
    test "$(answers "$name.raw" | grep -c .)" -eq 10
  check "client $name: frequencies and modes in order" \
    test "$(answers "$name.raw" | sort -u | wc -l)" -eq 2
done
check "the panel polled meanwhile" test "$(commands_since "$mark" | grep -cx FA)" -ge 20
check "no malformed command on the wire" test -z "$(malformed_commands)"

quit_panel
check "panel exit code 0 after Q (got $panel_status)" test "$panel_status" -eq 0
check "the debug log names the port and the clients" grep -aq "^NET=listening on 127.0.0.1:$port" debug.dat

if [ "$failures" -ne 0 ]; then
  echo "--- reference"; cat reference.raw
  echo "--- panel"; cat panel.raw
  echo "--- heard"; heard | tr '\n' ' '; echo
  echo "--- radio.log (tail)"; tail -40 radio.log
  echo "--- debug.dat (NET and TX)"; tr -d '\r' <debug.dat | grep -a '^NET=\|^TX=' | tail -40
  echo "--- panel output"; cat panel.out
  exit 1
fi
exit 0
