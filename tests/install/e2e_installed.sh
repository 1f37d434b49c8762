#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The panel as an operator installs and sets it up: cmake --install into a temporary prefix,
# orvane-station for the simulated radio's port, and the installed orvane started the way the
# desktop entry starts it, in a window under Xvfb, against the installed radiosim with its S-meter
# drifting. The station has no clips of its own, so everything the panel says comes from the
# installed set. Also: every installed file is in place, the manual pages read, the desktop entry
# is valid, and the desktop entry's start without a station says "configuration file not found"
# and leaves nothing behind.
#
# usage: e2e_installed.sh BUILD_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_installed.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

e2e_workdir installed

prefix="$work/prefix"
if ! "${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >install.out 2>&1; then
  echo "FAIL cmake --install"
  cat install.out
  exit 1
fi

for program in orvane radiosim catprobe orvane-station orvane-make-clips; do
  check "bin/$program installed" test -x "$prefix/bin/$program"
done
check "the whole clip set installed" \
  test "$(ls "$prefix/share/orvane/wave" | wc -l)" -eq "$(ls "$source_dir"/wave/*.wav | wc -l)"
for doc in README.md guide.md; do
  check "share/doc/orvane/$doc installed" test -s "$prefix/share/doc/orvane/$doc"
done
check "desktop entry valid" desktop-file-validate "$prefix/share/applications/io.github.orvane.Orvane.desktop"
"$prefix/bin/orvane" --version >version.out 2>&1
check "orvane --version: name and version first" test "$(head -1 version.out)" = "orvane 1.9"
check "orvane --version: the licence" grep -qx \
  'License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.' version.out
# Past its word lists and the clip names, the clip maker stops at the engine it does not know.
check "orvane-make-clips finds its installed word lists" bash -c \
  '"$0" --engine none 2>&1 | grep -q "unknown engine none"' "$prefix/bin/orvane-make-clips"
# man reads the pages from the prefix's manual directory, with every macro known to groff.
read_manual() {
  MANPATH="$prefix/share/man" MANWIDTH=100 man --warnings -P cat "$1" >"man-$1.txt" 2>"man-$1.err" &&
    [ ! -s "man-$1.err" ] && grep -q -- "$2" "man-$1.txt"
}
check "man orvane reads" read_manual orvane 'station directory'
check "man radiosim reads" read_manual radiosim '--drift'
check "man catprobe reads (radiosim's page)" read_manual catprobe 'round-trip'
check "man orvane-station reads" read_manual orvane-station 'dialout'

played() { clip_played "$prefix/share/orvane/wave/$1.wav" "$2"; }

start_xvfb "$work" || exit 1

# The simulated radio on a pseudo-terminal linked as radio/com3; the station gets its own link.
mkdir radio
"$prefix/bin/radiosim" --dir radio --port 3 --drift --log radio.log --control radio.ctl \
  2>radiosim.err &
radio_pid=$!
wait_for 50 test -L radio/com3 || { echo "FAIL radiosim did not link com3"; cat radiosim.err; exit 1; }

"$prefix/bin/orvane-station" station "$work/radio/com3" >station.out 2>&1
station_status=$?
check "orvane-station made the station (exit status $station_status)" \
  test "$station_status" -eq 0 -a -f station/orvane.cfg -a -L station/com1
check "orvane-station: the link leads to the radio's port" \
  test "$(readlink -f station/com1)" = "$(readlink -f radio/com3)"
check "the station has no clips of its own" test ! -e station/wave
# The debug log on, at character 7 of line 7, as the example's comments say.
sed -i '7s/^debug 0$/debug 1/' station/orvane.cfg

# Started the way the desktop entry starts it.
speech_pipe speech.raw
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/stdout \
  "$prefix/bin/orvane-station" --start "$work/station" >&"$speech_fd" 2>panel.out &
panel_pid=$!
exec {speech_fd}>&-
enough_meter_answers() { [ "$(grep -ac '^RX=SM' station/debug.dat 2>/dev/null)" -ge 25 ]; }
wait_for 100 find_panel_window || { echo "FAIL the panel window did not appear"; cat panel.out; exit 1; }
wait_for 150 enough_meter_answers
quit_panel

mapfile -t sent < <(radio_commands radio.log)
startup=(MD1 FA00007100000 PA00 RA00 NB0 PC100 FR0 AG0050 RG255)
check "the installed panel's start-up commands reached the radio: ${startup[*]}" \
  test "${sent[*]:0:9}" = "${startup[*]}"
check "it ended on Q with exit status 0 (got $panel_status)" test "$panel_status" -eq 0
speech_written
check "it spoke the start-up announcement from the installed clip set" played ts speech.raw
check "memory.dat written in the station" test -s station/memory.dat
meters=$(grep -a '^RX=SM' station/debug.dat | tr -d '\r' | sort -u | wc -l)
check "the S-meter drifted ($meters different readings)" test "$meters" -ge 3

# The desktop entry with no station made yet: the panel says the configuration is missing.
mkdir temp
speech_pipe nostation.raw
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/stdout HOME="$work/home" \
  TMPDIR="$work/temp" "$prefix/bin/orvane-station" --start >&"$speech_fd" 2>nostation.out &
panel_pid=$!
exec {speech_fd}>&-
wait_for 200 ended "$panel_pid" || kill -KILL "$panel_pid"
wait "$panel_pid"
nostation_status=$?
panel_pid=""
check "without a station the panel ends by itself, exit status 0 (got $nostation_status)" \
  test "$nostation_status" -eq 0
speech_written
check "and says: configuration file not found" played cfgnf nostation.raw
check "and leaves nothing behind" test -z "$(ls -A temp)" -a ! -e "$work/home"

kill -TERM "$radio_pid"
wait "$radio_pid"
radio_pid=""

if [ "$failures" -ne 0 ]; then
  for f in install.out station.out panel.out nostation.out radiosim.err man-*.err; do
    [ -s "$f" ] && { echo "--- $f"; cat "$f"; }
  done
  echo "--- radio.log"; head -40 radio.log
  exit 1
fi
exit 0
