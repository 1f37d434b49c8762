#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Faults on the line while the real panel runs against the simulated radio: noise and NUL bytes
# between answers, answers split across reads, a burst longer than one read of 255 bytes, answers
# a tick late, and replies with a wrong length or non-digits where digits belong, also in place of
# the poll answers for a while. The panel must stay up and connected, put nothing malformed and no
# frequency of its own making on the wire, keep the frequency, S-meter and memory channel it had
# (as the operator hears and the memory file shows), and take normal answers again at once.
#
# usage: e2e_line_faults.sh BUILD_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_line_faults.sh BUILD_DIR}" && pwd)
need Xvfb xdotool

e2e_workdir faults

start_xvfb "$work" || exit 1
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
start_radiosim "$build/radiosim" "$work" || exit 1
start_speaking_panel "$build" || exit 1
control() { echo "$*" >radio.ctl; }
# replies_read TEXT: how often the panel has read exactly TEXT (its debug log).
replies_read() { grep -ac "^RX=$1"$'\r$' debug.dat; }
read_more() { [ "$(replies_read "$1")" -ge "$2" ]; }

wait_for 100 said_times connected 1 || echo "FAIL the panel never said connected"
control smeter 15
sleep 0.3

# Each fault, with a few polls in between.
for fault in 'noise 64' 'send \x00\x00\x00\x00' 'noise 300' 'split 80' 'split 30' 'burst 300' \
  'send FA0001420A000;' 'send FA;' 'send FB12;TX1;' 'send FA000142000001;' 'send SM00099;' \
  'send SMXX;RM1XX15;' 'slow 60'; do
  control "$fault"
  sleep 0.3
done
sleep 0.7
control slow 0
# Malformed replies in place of every poll answer: the panel keeps what it had.
damaged=$(replies_read 'FA0001420A000;')
control answer FA 'FA0001420A000;'
control answer SM0 'SM00099;'
wait_for 50 read_more 'FA0001420A000;' $((damaged + 3))
press f s c 7
wait_for 50 said_times ok 1
# Normal answers again.
control answer FA
control answer SM0
control freq 21074000
wait_for 50 read_more 'FA00021074000;' 1
press f
quit_panel

said=$(heard | tr '\n' ' ')
expected="ts 1 point 9 connected lsb 7 point 1 mhz s 5 sch 7 ok lsb 2 1 point 0 7 4 mhz quit delay "
check "said: $said" test "$said" = "$expected"
check "panel exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "nothing malformed on the wire" test -z "$(malformed_commands)"
# The store key re-sends the frequency: only the start-up frequency may go out, never one read
# from a damaged reply.
check "no frequency of the panel's own making on the wire" \
  test -z "$(radio_commands | grep -Ex 'F[AB][0-9]{11}' | grep -vx FA00007100000)"
channel7=$(sed -n 19p memory.dat | tr -d '\r')
check "channel 7 holds the real frequency (got $channel7)" \
  test "$channel7" = 0104FA00007100000FA00007100000
check "the damaged replies reached the panel" \
  bash -c "grep -aq \$'^RX=FA0001420A000;\r\$' debug.dat && grep -aq \$'^RX=SM00099;\r\$' debug.dat"
check "the burst reached the panel, 255 bytes at a read" \
  test "$(grep -a '^RX=' debug.dat | awk '{ print length($0) }' | sort -n | tail -1)" -ge 255

if [ "$failures" -ne 0 ]; then
  echo "--- radio.log"; cat -v radio.log
  echo "--- debug.dat"; tr -d '\r' <debug.dat | cat -v | tail -60
  echo "--- panel output"; cat panel.out
  exit 1
fi
exit 0
