#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real panel works the radio through Hamlib's own rig server, rigctld.
#
# 1. The same keys through the serial line and through "rigctld -m 2014" (Hamlib's TS-2000
#    driver) on radiosim leave the simulated radio in the same state, read back afterwards with
#    catprobe, and the operator hears the same; except where the guide's mapping table says they
#    differ: Hamlib 4.5's TS-2000 driver has no tuner (T says "not available" and sends nothing).
# 2. Against Hamlib's dummy rig ("rigctld -m 1", which keeps every level and function): each key's
#    effect is read back with "rigctl -m 2".
# 3. rigctld killed and started again: "nc", then "connected", with the panel running throughout.
# 4. Another Orvane's own rig server in rigctld's place: a key goes through it to the radio, and
#    what it does not offer is "not available".
#
# usage: e2e_hamlib.sh BUILD_DIR
set -uo pipefail
tests=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$tests/lib/checks.sh"

build=$(cd "${1:?usage: e2e_hamlib.sh BUILD_DIR}" && pwd)
need Xvfb xdotool rigctl rigctld python3

e2e_workdir hamlib
top=$work
start_xvfb "$top" || exit 1

rigctld_pid=""
relay_pid=""
extra_cleanup() {
  [ -n "$rigctld_pid" ] && kill "$rigctld_pid" 2>/dev/null && wait "$rigctld_pid"
  [ -n "$relay_pid" ] && kill "$relay_pid" 2>/dev/null && wait "$relay_pid"
}
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# start_rigctld PORT ARGS...: Hamlib's rig server on 127.0.0.1:PORT, once it answers.
start_rigctld() {
  local port=$1
  shift
  # shellcheck disable=SC2086 # a trace option, or nothing at all
  rigctld ${ORVANE_RIGCTLD_TRACE:-} "$@" -T 127.0.0.1 -t "$port" >>rigctld.out 2>&1 &
  rigctld_pid=$!
  answers() { rigctl -m 2 -r "127.0.0.1:$port" f >/dev/null 2>&1; }
  wait_for 100 answers || { echo "FAIL rigctld did not answer on $port"; cat rigctld.out; return 1; }
}
stop_rigctld() {
  kill "$rigctld_pid" 2>/dev/null
  wait "$rigctld_pid" 2>/dev/null
  rigctld_pid=""
}
config() {
  printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
  # Channel 3: split, USB, 20 m, receive on 14.200 MHz, transmit on 14.205 MHz.
  {
    printf 'FA%011d\r\n' 1900000 3600000 5400000 7100000 10100000 14200000 18100000 21200000 \
      24890000 28500000 50150000
    printf '9\r\n9\r\n9\r\n1206FA00014200000FB00014205000\r\n9\r\n9\r\n9\r\n9\r\n9\r\n9\r\n'
  } >memory.dat
}
# The radio's state as catprobe reads it, one answer a line in the order asked. An answer to the
# panel's last poll may still wait on the line and be taken for the first one: each answer is
# found by its own letters, the last one of them, and "ID;" asked at the end keeps a late answer
# from falling off the end. Two answers that came together are split at their ";".
radio_state() {
  local asked="FA FB IF MD PA RA NB NR NT PC RG" answers
  # shellcheck disable=SC2086
  answers=$("$build/catprobe" --dir . --port 3 --count 1 $(printf '%s; ' $asked) "ID;" |
    sed -E 's/^[^ ]+ +//; s/ +[0-9]+\/[0-9]+ answered.*//; s/;/;\n/g' | sed '/^$/d')
  for command in $asked; do grep "^$command" <<<"$answers" | tail -1; done
}
# The radio starts in CW, a mode the keys never ask for, and not in radiosim's USB. Hamlib 4.5's
# Kenwood driver answers a mode request as done and sends nothing when it believes split is on with
# VFO B transmitting and VFO B already in that mode. It takes VFO B's mode from whatever the last
# mode read on the current VFO gave (the panel's own read at connect: the radio's mode before the
# panel set one), and split from the radio's IF answer, which it reads afresh only once its own
# copy is half a second old. So on a slow machine, where the channel's split request took that
# long, the channel's USB went as "VFOB mode already USB so ignoring request" and the radio stayed
# in the panel's start-up LSB; on a quick one, the stale IF answer still said no split and USB
# reached the radio. Started in CW, the radio ends in the keys' mode whatever the driver's timing.
radio_in_cw() { grep -q "MD3;" <<<"$("$build/catprobe" --dir . --port 3 --count 1 "MD3;" "MD;")"; }
# The same keys in both runs: recall the split channel, the receiver functions, the power down
# twice, the RF gain down once, 100 Hz up on the transmit VFO, and the frequency readout.
work_the_radio() {
  wait_for 100 said_times connected 1 || { echo "FAIL the panel never said connected"; return 1; }
  press g 3
  wait_for 100 said_times split 1 || echo "FAIL split was never said"
  press F2 F3 F4 F5
  wait_for 100 said_times notch 1
  press p Down Down r Down f
  wait_for 50 said_times mhz 1
  press Right
  sleep 0.5
}

# ---- 1. the serial line and rigctld -m 2014, side by side
mkdir "$top/serial" "$top/hamlib"
cd "$top/serial" || exit 1
config
start_radiosim "$build/radiosim" . || exit 1
wait_for 10 radio_in_cw || { echo "FAIL the radio did not go to CW"; exit 1; }
start_speaking_panel "$build" || exit 1
work_the_radio
quit_panel
heard >heard.txt
radio_state >state.txt
kill -TERM "$radio_pid"
wait "$radio_pid"
radio_pid=""

cd "$top/hamlib" || exit 1
config
start_radiosim "$build/radiosim" . || exit 1
wait_for 10 radio_in_cw || { echo "FAIL the radio did not go to CW"; exit 1; }
port=$(free_port)
start_rigctld "$port" -m 2014 -r "$PWD/com3" -s 9600 || exit 1
printf 'rig 127.0.0.1:%s\n' "$port" >settings.cfg
start_speaking_panel "$build" || exit 1
work_the_radio
press t
wait_for 50 said_times na 1
quit_panel
heard >heard.txt
# rigctld may still be working through the panel's last requests: it stops once the last of them,
# the transmit frequency, has reached the radio.
wait_for 100 eval 'radio_commands | grep -qx FB00014205100'
stop_rigctld
radio_state >state.txt
kill -TERM "$radio_pid"
wait "$radio_pid"
radio_pid=""

check "the radio's state is the same through rigctld as through the serial line" \
  diff "$top/serial/state.txt" "$top/hamlib/state.txt"
check "split on, 14.200 MHz received, 14.205100 MHz transmitted, USB (got $(tr '\n' ' ' <state.txt))" \
  eval 'head -2 state.txt | tr "\n" " " | grep -qx "FA00014200000; FB00014205100; " &&
        grep -qx "MD2;" state.txt && grep -Eq "^IF.*1[0-9]{4};$" state.txt'
sed '$d' heard.txt | sed '$d' | sed '$d' >heard-before-t.txt  # tune, na, and the quit's clips
check "the operator heard the same through rigctld as through the serial line" \
  eval 'diff <(sed "\$d" "$top/serial/heard.txt" | sed "\$d") <(grep -vx -e tune -e na "$top/hamlib/heard.txt" | sed "\$d" | sed "\$d")'
check "T on a radio whose Hamlib driver has no tuner: tune, not available" \
  eval 'grep -A1 -x tune heard.txt | tr "\n" " " | grep -qx "tune na "'
check "and no tuner command reached the radio" eval '! radio_commands | grep -q "^AC"'
check "nothing malformed reached the radio" eval '! malformed_commands | grep -v "^$" | grep -q .'

# ---- 2. Hamlib's dummy rig: every key's effect read back
mkdir "$top/dummy"
cd "$top/dummy" || exit 1
config
port=$(free_port)
start_rigctld "$port" -m 1 || exit 1
printf 'rig 127.0.0.1:%s\n' "$port" >settings.cfg
start_speaking_panel "$build" || exit 1
wait_for 100 said_times connected 1 || echo "FAIL the panel never said connected to the dummy rig"
press F1 F2 F3 F4 F5
wait_for 100 said_times notch 1
press m p Down r Down a Up w Up
sleep 0.5
press t
wait_for 50 said_times on.wav 1 || wait_for 50 said_times on 6
press t
sleep 0.5
readback() { rigctl -m 2 -r "127.0.0.1:$port" "$@" 2>&1 | tr '\n' ' '; }
check "preamp, attenuator: the radio's first steps (got $(readback l PREAMP l ATT))" \
  test "$(readback l PREAMP l ATT)" = "10 10 "
check "noise blanker, noise reduction, automatic notch, tuner on (got $(readback u NB u NR u ANF u TUNER))" \
  test "$(readback u NB u NR u ANF u TUNER)" = "1 1 1 1 "
check "90 W of 100, RF gain 235 and AF gain 60 of 255 (got $(readback l RFPOWER l RF l AF))" \
  test "$(readback l RFPOWER l RF l AF)" = "0.900010 0.921573 0.235298 "
check "USB with a 2.5 kHz passband (got $(readback m))" test "$(readback m)" = "USB 2500 "
check "the start frequency, 7.1 MHz (got $(readback f))" test "$(readback f)" = "7100000 "

# ---- 3. rigctld goes away and comes back
stop_rigctld
wait_for 100 said_times nc 1 || echo "FAIL the loss of rigctld was never said"
check "the panel still runs without its rig server" eval '! ended "$panel_pid"'
start_rigctld "$port" -m 1 || exit 1
check "connected again once rigctld is back, without a restart" wait_for 150 said_times connected 2
quit_panel
check "panel exit code 0 (got $panel_status)" test "$panel_status" -eq 0

# ---- 4. another Orvane's rig server: panel A holds the radio's serial line and serves Hamlib's
# protocol (in a terminal of its own, so that panel B's window is the only one); panel B works
# the radio through A. A's server offers the frequency and the mode, not the preamplifier.
mkdir -p "$top/relay/b"
cd "$top/relay" || exit 1
config
start_radiosim "$build/radiosim" . || exit 1
relay_port=$(free_port)
mkfifo a.ctl
python3 "$tests/term/pty_run.py" --control a.ctl --screen a.screen -- \
  env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$build/orvane" --terminal \
  --rig-server="127.0.0.1:$relay_port" >a.out 2>&1 &
relay_pid=$!
a_serves() { rigctl -m 2 -r "127.0.0.1:$relay_port" f 2>/dev/null | grep -qx 7100000; }
wait_for 150 a_serves || echo "FAIL panel A's rig server did not answer"
cd b || exit 1
config
printf 'rig 127.0.0.1:%s\n' "$relay_port" >settings.cfg
start_speaking_panel "$build" || exit 1
check "panel B says connected through panel A" wait_for 100 said_times connected 1
press Right F1
wait_for 50 said_times na 1
check "B's Right reaches the radio through A: 7.100100 MHz" \
  eval 'radio_commands ../radio.log | grep -qx FA00007100100'
check "B's F1: pre amp, not available, and no preamplifier command from B" \
  eval 'heard | grep -A1 -x preamp | tail -1 | grep -qx na && ! grep -q "set_level PREAMP" debug.dat'
quit_panel
heard >heard.txt
printf 'keys q\n' >../a.ctl
wait_for 100 ended "$relay_pid" || kill "$relay_pid"
wait "$relay_pid" 2>/dev/null
relay_pid=""

if [ "$failures" -ne 0 ]; then
  for run in serial hamlib dummy relay/b; do
    echo "--- $run: heard"; tr '\n' ' ' <"$top/$run/heard.txt" 2>/dev/null; echo
    [ -f "$top/$run/state.txt" ] && { echo "--- $run: radio state"; cat "$top/$run/state.txt"; }
    echo "--- $run: debug.dat"; tr -d '\r' <"$top/$run/debug.dat" | grep -v '^TX=FA;$\|^TX=SM0;$\|^TX=FB;$\|^RX=' | tail -40
    [ -f "$top/$run/radio.log" ] && { echo "--- $run: what the radio was sent, polls left out"; radio_commands "$top/$run/radio.log" | grep -vx 'FA\|FB\|IF\|SM0\|MD\|ID\|PS\|RM' | tr '\n' ' '; echo; }
  done
  echo "--- rigctld"; cat "$top"/*/rigctld.out
  exit 1
fi
exit 0
