#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Keys typed into the real panel window under Xvfb reach the simulated radio in order: "T" twice
# starts and stops the tuner ("RM1;AC111;" then "RM1;AC110;"), interleaved only with polls, the
# meter poll asks for the SWR while the tuner runs, and "Q" ends the panel with exit code 0.
#
# usage: e2e_keys.sh BUILD_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_keys.sh BUILD_DIR}" && pwd)
orvane="$build/orvane"
radiosim="$build/radiosim"
need Xvfb xdotool

e2e_workdir keys

start_xvfb "$work" || exit 1

printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
start_radiosim "$radiosim" "$work" || exit 1

SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$orvane" >panel.out 2>&1 &
panel_pid=$!

wait_for 100 find_panel_window || { echo "FAIL the panel window did not appear"; cat panel.out; exit 1; }
connected() { grep -aq '^RX=FA' debug.dat 2>/dev/null; }
wait_for 100 connected || { echo "FAIL the panel never heard the radio"; exit 1; }

commands() { radio_commands radio.log; }
has() { commands | grep -qx "$1"; }

press t
wait_for 100 has AC111
# Let a few polls pass while the tuner runs.
sleep 0.5
press t
wait_for 100 has AC110
quit_panel

mapfile -t sent < <(commands | sed -n '10,$p')  # after the nine start-up commands
keys_only=()
for c in "${sent[@]}"; do
  case "$c" in FA | FB | SM0 | RM | ID) ;; *) keys_only+=("$c") ;; esac
done
check "tune twice on the wire: RM1 AC111 RM1 AC110 (got ${keys_only[*]})" \
  test "${keys_only[*]}" = "RM1 AC111 RM1 AC110"
between=$(printf '%s\n' "${sent[@]}" | awk '/^AC111$/ {on = 1; next} /^RM1$/ && on {exit} on')
check "the meter poll asks for the SWR while tuning" bash -c "grep -qx RM <<<\"\$0\"" "$between"
check "no S-meter poll while tuning" bash -c "! grep -qx SM0 <<<\"\$0\"" "$between"
check "panel exit code 0 after Q (got $panel_status)" test "$panel_status" -eq 0
check "key lines in the debug log" bash -c "grep -ac \$'^T\r\$' debug.dat | grep -qx 2"

if [ "$failures" -ne 0 ]; then
  echo "--- radio.log"; cat radio.log
  echo "--- debug.dat"; tr -d '\r' <debug.dat | tail -40
  echo "--- panel output"; cat panel.out
  exit 1
fi
exit 0
