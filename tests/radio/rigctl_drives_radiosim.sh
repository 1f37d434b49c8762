#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hamlib's rigctl, as the TS-2000 (model 2014), against the simulated radio: a client written
# elsewhere sets and reads the frequency and the mode, on VFO A and on VFO B, and must get back
# what it set, with no command refused and no error. Each read is a fresh rigctl, so what it
# reports comes from the radio's answers at open (FA, FB, MD, IF), not from what it remembers.
# It keys the radio and releases it (PTT), directly and through Hamlib's rigctld, and radiosim's
# log shows each change of the transmit state once.
# Prints, as a figure, the time from rigctl's start to its frequency command reaching the radio.
#
# usage: rigctl_drives_radiosim.sh BUILD_DIR
# Set ORVANE_E2E_KEEP=1 to keep the run's directory for a look afterwards.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

build=$(cd "${1:?usage: rigctl_drives_radiosim.sh BUILD_DIR}" && pwd)
radiosim="$build/radiosim"
[ -x "$radiosim" ] || { echo "FAIL: $radiosim not built"; exit 1; }
command -v rigctl >/dev/null || {
  echo "FAIL: rigctl not found: scripts/install-deps.sh installs it (Debian package libhamlib-utils)"
  exit 1
}

e2e_workdir rigctl
start_radiosim "$radiosim" "$work" || exit 1

# rig NAME COMMAND...: one rigctl run on the radio's link; its output in NAME.out, exit code in
# NAME.rc.
rig() {
  local name=$1
  shift
  rigctl -m 2014 -r "$work/com3" -s 9600 "$@" >"$name.out" 2>&1 </dev/null
  echo $? >"$name.rc"
}
# clean NAME: rigctl ended with 0 and said nothing about an error, a refusal or a timeout.
clean() {
  [ "$(cat "$1.rc")" = 0 ] && ! grep -Eiq 'error|rejected|timed out|failed' "$1.out"
}
# says NAME LINE...: rigctl printed exactly these lines first.
says() {
  local name=$1
  shift
  [ "$(head -n $# "$name.out")" = "$(printf '%s\n' "$@")" ]
}
received() { radio_commands radio.log | grep -qx "$1"; }

# A line on the control FIFO marks, in the radio's own log, the moment rigctl starts.
echo "smeter 10" >radio.ctl
wait_for 30 grep -q '@smeter 10' radio.log
rig set_a F 7074000 M LSB 0
check "rigctl sets VFO A and LSB cleanly" clean set_a
check "FA00007074000 reached the radio" received FA00007074000
check "MD1 reached the radio" received MD1

rig read_a f v m
check "a fresh rigctl reads them cleanly" clean read_a
check "it reads 7074000 Hz, VFO A, LSB" says read_a 7074000 VFOA LSB

rig set_b V VFOB F 21074000 M CW 0
check "rigctl sets VFO B and CW cleanly" clean set_b
check "FR1, FB00021074000 and MD3 reached the radio" \
  eval 'received FR1 && received FB00021074000 && received MD3'

rig read_b v f m
check "a fresh rigctl reads them cleanly" clean read_b
check "it reads VFO B, 21074000 Hz, CW" says read_b VFOB 21074000 CW

# PTT: keyed with TX, read back from the IF answer, released with RX.
rig ptt_on T 1
rig ptt_read t
rig ptt_off T 0
rig ptt_read_off t
check "rigctl keys and releases the radio cleanly" \
  eval 'clean ptt_on && clean ptt_read && clean ptt_off && clean ptt_read_off'
check "it reads the PTT on while keyed and off after" \
  eval 'says ptt_read 1 && says ptt_read_off 0'
transmit_notes() { awk '$2 == "#transmit" {print $2, $3}' radio.log | tr '\n' ' '; }
check "radiosim logs the transmitter on and off once each (got: $(transmit_notes))" \
  test "$(transmit_notes)" = "#transmit on #transmit off "

# The same through rigctld, as the panel's rig server's own clients would reach a radio.
rigctld_pid=""
extra_cleanup() { [ -n "$rigctld_pid" ] && kill "$rigctld_pid" 2>/dev/null && wait "$rigctld_pid"; }
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
rigctld -m 2014 -r "$work/com3" -s 9600 -T 127.0.0.1 -t "$port" >rigctld.out 2>&1 &
rigctld_pid=$!
net() {
  local name=$1
  shift
  rigctl -m 2 -r "127.0.0.1:$port" "$@" >"$name.out" 2>&1 </dev/null
  echo $? >"$name.rc"
}
listening() { net probe f && clean probe; }
wait_for 100 listening
net net_on T 1
net net_read t
net net_off T 0
check "rigctld keys and releases the radio for its client" \
  eval 'clean net_on && says net_read 1 && clean net_off'
check "radiosim logs the transmitter on and off through rigctld (got: $(transmit_notes))" \
  test "$(transmit_notes)" = "#transmit on #transmit off #transmit on #transmit off "
kill "$rigctld_pid"
wait "$rigctld_pid"
rigctld_pid=""

# Figure, not an assertion: rigctl's start (the control line) to its frequency command.
awk '$2 == "@smeter" && !mark { mark = $1 } $2 == "FA00007074000" && mark && !done {
       printf "rigctl: process start to FA on the wire: %.0f ms\n", 1000 * ($1 - mark); done = 1 }' \
  radio.log

kill -TERM "$radio_pid"
wait "$radio_pid"
radio_status=$?
radio_pid=""
check "radiosim exit code 0 (got $radio_status)" test "$radio_status" -eq 0

if [ "$failures" -ne 0 ]; then
  for f in set_a read_a set_b read_b ptt_on ptt_read ptt_off ptt_read_off net_on net_read net_off; do
    [ -f "$f.rc" ] && { echo "--- rigctl $f (exit $(cat $f.rc))"; cat "$f.out"; }
  done
  [ -f rigctld.out ] && { echo "--- rigctld"; cat rigctld.out; }
  echo "--- radio.log"; cat radio.log
  exit 1
fi
exit 0
