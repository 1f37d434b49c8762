#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real panel against the simulated radio over a pseudo-terminal: the start-up commands and the
# first polls must reach the radio in order, with one question which radio it is once it has
# answered, the panel must read the answers (debug log), and both programs must stop cleanly.
#
# usage: e2e_startup.sh BUILD_DIR
# Set ORVANE_E2E_KEEP=1 to keep the run's directory for a look afterwards.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_startup.sh BUILD_DIR}" && pwd)
orvane="$build/orvane"
radiosim="$build/radiosim"
[ -x "$orvane" ] || { echo "FAIL: $orvane not built"; exit 1; }
[ -x "$radiosim" ] || { echo "FAIL: $radiosim not built"; exit 1; }

e2e_workdir e2e
# Port 3, 9600 baud, 50 W, SWR wording 1, top band 10 m, no power switching, debug log on.
printf 'port 3\r\nspeed 9600\r\npower 50\r\nswr 1\r\ntopband 1\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg

start_radiosim "$radiosim" "$work" || exit 1
echo "smeter 14" >radio.ctl

commands() { radio_commands radio.log; }
polls() { commands | sed -n '10,$p' | wc -l; }
enough_polls() { [ "$(polls)" -ge 8 ]; }

# No display is needed to talk to the radio; the dummy drivers keep the run headless and silent.
SDL_VIDEODRIVER=${ORVANE_E2E_VIDEO:-dummy} SDL_AUDIODRIVER=dummy "$orvane" >panel.out 2>&1 &
panel_pid=$!
wait_for 100 enough_polls
kill -TERM "$panel_pid"
# A panel that does not stop on SIGTERM is killed after 15 s and fails the exit-code check.
wait_for 150 ended "$panel_pid" || kill -KILL "$panel_pid"
wait "$panel_pid"
panel_status=$?
panel_pid=""
kill -TERM "$radio_pid"
wait "$radio_pid"
radio_status=$?
radio_pid=""

mapfile -t sent < <(commands)
startup=(MD1 FA00007100000 PA00 RA00 NB0 PC050 FR0 AG0050 RG255)
check "start-up commands in order: ${startup[*]}" \
  test "${sent[*]:0:9}" = "${startup[*]}"
check "at least 8 polls after them (got $(( ${#sent[@]} - 9 )))" test "${#sent[@]}" -ge 17
# The question which radio it is takes the place of one poll, once the radio has answered one.
polls=()
for c in "${sent[@]:9}"; do [ "$c" = ID ] || polls+=("$c"); done
expected_polls=()
for ((i = 0; i < ${#polls[@]}; i++)); do
  if ((i % 2 == 0)); then expected_polls+=(FA); else expected_polls+=(SM0); fi
done
check "polls alternate FA and SM0, FA first" test "${polls[*]}" = "${expected_polls[*]}"
questions=$(printf '%s\n' "${sent[@]:9}" | grep -cx ID)
check "one question which radio it is (got $questions), after the first poll" \
  test "$questions" = 1 -a "${sent[9]}" = FA

check "panel exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "radiosim exit code 0 (got $radio_status)" test "$radio_status" -eq 0
check "radiosim removed its link" test ! -e com3 -a ! -L com3

header_re=$'^ORVANEX 1\\.9  [0-9]{2}-[0-9]{2}-[0-9]{4}   [0-9]{2}:[0-9]{2}:[0-9]{2}\r$'
check "debug log header" bash -c "head -1 debug.dat | grep -Eq \"\$0\"" "$header_re"
mapfile -t tx < <(grep -a '^TX=' debug.dat | head -9 | tr -d '\r')
expected_tx=()
for c in "${startup[@]}"; do expected_tx+=("TX=$c;"); done
check "debug log has the start-up commands" test "${tx[*]}" = "${expected_tx[*]}"
check "panel read the frequency answer" grep -aq $'^RX=FA00007100000;\r$' debug.dat
check "panel read the S-meter answer" grep -aq $'^RX=SM00014;\r$' debug.dat
check "panel knows the radio as the TS-2000" grep -aq $'^RADIO=TS-2000 (ID019)\r$' debug.dat
check "memory file written at exit" test -s memory.dat

# Figures, not assertions: the poll period as the radio saw it.
awk '$2 == "FA" || $2 == "SM0" { if (last != "") { gap = $1 - last; sum += gap; n++;
       if (gap > max) max = gap } last = $1 }
     END { if (n) printf "poll gaps: %d, mean %.1f ms, longest %.1f ms\n", n, 1000 * sum / n, 1000 * max }' \
  radio.log

if [ "$failures" -ne 0 ]; then
  echo "--- radio.log"; cat radio.log
  echo "--- debug.dat"; tr -d '\r' <debug.dat | head -40
  echo "--- panel output"; cat panel.out
  exit 1
fi
exit 0
