#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# orvane.exe's rig server under Wine: Linux's Hamlib rigctl (rig model 2, NET rigctl) works the
# simulated radio through the Windows panel, and gets what it gets from the Linux panel on the same
# radio.
#   The Linux panel first: the requests through rigctl and a raw client, the answers kept.
#   orvane.exe with settings.cfg naming a port another program holds: the refusal is told on its
#   standard error and the panel goes on polling.
#   orvane.exe with settings.cfg still naming that port and --rig-server naming a free one (the
#   command line wins): the same requests, the same answers, and f, F, M, T 1 and T 0 reach the
#   radio in the radio's forms.
#
# usage: e2e_wine_rig_server.sh ORVANE_EXE NATIVE_BUILD_DIR WINE PREFIX
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"
source "$here/../lib/panel_runs.sh"

usage="usage: e2e_wine_rig_server.sh ORVANE_EXE NATIVE_BUILD_DIR WINE PREFIX"
orvane=${1:?$usage}
native=$(cd "${2:?$usage}" && pwd)
wine=${3:?$usage}
prefix=${4:?$usage}
client="python3 $here/../radio/rig_client.py"
need Xvfb xdotool rigctl python3 "$native/radiosim" "$native/clip_tags" "$native/orvane"
source "$here/wine_checks.sh"

holder_pid=""
extra_cleanup() {
  [ -n "$holder_pid" ] && kill -TERM "$holder_pid" 2>/dev/null && wait "$holder_pid" 2>/dev/null
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null
  WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null
  return 0
}
e2e_workdir wine-rig
start_xvfb "$work" || exit 1
start_radiosim "$native/radiosim" "$work" 3 || exit 1
map_com3 "$work/com3"
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
mkdir -p wave && "$native/clip_tags" make wave || exit 1

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port_open() { python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null; }
connected() { grep -aq '^RX=FA' debug.dat 2>/dev/null; }

# The same radio for every run: VFO A and B and a steady S-meter (each panel's start-up has set
# the mode).
set_radio() { printf 'freq a 14074000\nfreq b 14076000\nsmeter 20\n' >radio.ctl; }
# What each panel is asked: first through Hamlib's rigctl as a logger asks, then raw, one
# connection, in order.
rigctl_requests=(f F 7074000 f m M CW 500 m T 1 t T 0 t s l STRENGTH)
raw_requests=('f' '+f' 'F 14074000' 'f' 'M USB 2400' 'm' 'T 1' '+t' 'T 0' 't' '\chk_vfo' 'F abc' 'l FOO')
# ask PORT NAME: both kinds of request, the answers in NAME-rigctl.out and NAME-raw.out.
ask() {
  rigctl -m 2 -r "127.0.0.1:$1" "${rigctl_requests[@]}" >"$2-rigctl.out" 2>&1
  $client "$1" "${raw_requests[@]}" >"$2-raw.out"
}
# The panel has read the S-meter the radio shows now: two meter polls after the set.
meter_polled() { [ "$(commands_since "$1" | grep -cx SM0)" -ge 2 ]; }

# --- the Linux panel: the forms to match
port=$(free_port)
printf 'rig-server 127.0.0.1:%s\n' "$port" >settings.cfg
set_radio
start_speaking_panel "$native" || exit 1
wait_for 100 connected || { echo "FAIL the Linux panel never heard the radio"; cat panel.out; exit 1; }
wait_for 50 port_open "$port" || { echo "FAIL the Linux panel did not listen"; cat panel.out; exit 1; }
set_radio
mark=$(radio_mark)
wait_for 50 meter_polled "$mark"
ask "$port" linux
quit_panel
check "the Linux panel ends with exit code 0 (got $panel_status)" test "$panel_status" -eq 0
mv debug.dat debug-linux.dat
rm -f memory.dat

# --- orvane.exe, its settings naming a port that another program holds
busy=$(free_port)
python3 -c "import socket, time
s = socket.socket(); s.bind(('127.0.0.1', $busy)); s.listen(); time.sleep(600)" &
holder_pid=$!
wait_for 50 port_open "$busy" || { echo "FAIL the port holder did not listen"; exit 1; }
printf 'rig-server 127.0.0.1:%s\n' "$busy" >settings.cfg
set_radio
run_wine "$orvane" >panel-busy.out 2>&1 &
panel_pid=$!
wait_for 300 connected || { echo "FAIL orvane.exe never heard the radio"; cat panel-busy.out; exit 1; }
told() { grep -q "cannot listen on 127.0.0.1:$busy" panel-busy.out; }
check "a port held by another program is told on standard error" wait_for 50 told
mark=$(radio_mark)
check "and the panel goes on polling" wait_for 50 polled_twice "$mark"
wait_for 300 find_panel_window
quit_panel 200
check "orvane.exe ends with exit code 0 (got $panel_status)" test "$panel_status" -eq 0
rm -f debug.dat memory.dat

# --- orvane.exe serving: the command line wins over settings.cfg
port=$(free_port)
set_radio
run_wine "$orvane" "--rig-server=127.0.0.1:$port" >panel.out 2>&1 &
panel_pid=$!
wait_for 300 connected || { echo "FAIL orvane.exe never heard the radio"; cat panel.out; exit 1; }
check "orvane.exe listens on the port its command line names" wait_for 100 port_open "$port"
set_radio
mark=$(radio_mark)
wait_for 50 meter_polled "$mark"
ask "$port" windows
check "Hamlib's rigctl -m 2 prints the same through orvane.exe as through the Linux panel" \
  diff linux-rigctl.out windows-rigctl.out
mapfile -t want < <(awk 'BEGIN { RS = "--\n" } { gsub("\n", "|"); print }' linux-raw.out)
mapfile -t got < <(awk 'BEGIN { RS = "--\n" } { gsub("\n", "|"); print }' windows-raw.out)
for i in "${!raw_requests[@]}"; do
  check "answer to ${raw_requests[$i]}: the Linux panel's (${want[$i]:-}; got ${got[$i]:-})" \
    test -n "${want[$i]:-}" -a "${want[$i]:-}" = "${got[$i]:-}"
done
check "the first f answered 14074000, what the radio shows" \
  test "$(head -1 windows-rigctl.out)" = 14074000
sent() { commands_since "$mark" | grep -qx "$1"; }
for command in FA00007074000 MD3 TX RX FA00014074000 MD2; do
  check "$command reached the radio" sent "$command"
done
wait_for 300 find_panel_window
quit_panel 200
check "orvane.exe ends with exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "nothing malformed on the wire" test -z "$(malformed_commands)"
check "the debug log names the port" grep -aq "^NET=listening on 127.0.0.1:$port" debug.dat

if [ "$failures" -ne 0 ]; then
  for file in linux-rigctl.out windows-rigctl.out linux-raw.out windows-raw.out panel.out; do
    echo "--- $file"; cat "$file"
  done
  echo "--- radio.log (tail)"; tail -60 radio.log
  echo "--- debug.dat (NET and TX)"; tr -d '\r' <debug.dat | grep -a '^NET=\|^TX=' | tail -40
  exit 1
fi
echo "orvane.exe's rig server under Wine: all checks passed"
exit 0
