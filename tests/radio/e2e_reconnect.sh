#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The radio goes away and comes back while the real panel runs: the USB adapter is pulled out and
# plugged in again (radiosim closes its pty and makes a new one behind the same com57 link), and
# the radio is switched off and on (the line stays, answers stop). Each loss is said once ("nc"),
# each return once ("connected"), polling goes on by itself with no key pressed, nothing malformed
# goes on the wire, and a memory channel stored before the loss is saved at exit.
#
# Port 57: while the link is gone the panel tries /dev/ttyS56, which no machine has.
#
# usage: e2e_reconnect.sh BUILD_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_reconnect.sh BUILD_DIR}" && pwd)
need Xvfb xdotool

e2e_workdir reconnect

start_xvfb "$work" || exit 1
printf 'port57\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
start_radiosim "$build/radiosim" "$work" 57 || exit 1
start_speaking_panel "$build" || exit 1
control() { echo "$*" >radio.ctl; }
stamp() { awk -v line="@$1" '$2 " " $3 == line || $2 == line {print $1; exit}' radio.log; }

wait_for 100 said_times connected 1 || echo "FAIL the panel never said connected"
press c 5  # channel 5: LSB, 40 m, the start frequency 7.1 MHz
wait_for 50 said_times ok 1

# The adapter is pulled out. While it is away the operator turns the knob.
control unplug
wait_for 30 said_times nc 1
control freq 7050000
sleep 2.5
check "one loss said once while the adapter is out (nc $(heard_times nc) times)" \
  test "$(heard_times nc)" -eq 1
control plug
wait_for 50 said_times connected 2
press f
wait_for 50 said_times mhz 1

# The radio is switched off and on: the line stays, the answers stop.
control power off
wait_for 60 said_times nc 2
control power on
wait_for 50 said_times connected 3
quit_panel

said=$(heard | tr '\n' ' ')
expected="ts 1 point 9 connected sch 5 ok nc connected lsb 7 point 0 5 mhz nc connected quit delay "
check "said: $said" test "$said" = "$expected"
check "panel exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "nothing malformed on the wire" test -z "$(malformed_commands)"
channel5=$(sed -n 17p memory.dat | tr -d '\r')
check "channel 5 stored before the loss is saved (got $channel5)" \
  test "$channel5" = 0104FA00007100000FA00007100000
check "the debug log notes the line lost and open again once each, and no try in between" \
  test "$(grep -a '^PORT=' debug.dat | tr -d '\r' | tr '\n' ' ')" = "PORT=lost PORT=open "
check "the start state went out once only" test "$(radio_commands | grep -cx MD1)" -eq 1

# Figures, not assertions: from the adapter's return to the panel's first poll on the new line,
# and from the radio's switching on to its first answered frequency poll.
first_after() { awk -v t="$1" '$1 > t && $2 == "FA" {print $1; exit}' radio.log; }
plugged=$(stamp plug)
on=$(stamp "power on")
awk -v p="$plugged" -v f="$(first_after "$plugged")" -v o="$on" -v g="$(first_after "$on")" \
  'BEGIN { printf "plug to first poll %.0f ms; power on to first poll %.0f ms\n",
           1000 * (f - p), 1000 * (g - o) }'

if [ "$failures" -ne 0 ]; then
  echo "--- radio.log"; cat radio.log
  echo "--- debug.dat"; tr -d '\r' <debug.dat | grep -av '^[TR]X=' ; tr -d '\r' <debug.dat | tail -20
  echo "--- panel output"; cat panel.out
  exit 1
fi
exit 0
