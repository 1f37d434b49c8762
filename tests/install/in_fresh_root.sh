#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Run by scripts/check-package.sh inside a fresh Debian 12 root, as root, in a directory that holds
# the package orvane_*.deb and lib/checks.sh. Installs the package with apt the way an operator
# does and checks that it works there: its dependencies are complete before anything else is
# installed, orvane --version, man orvane, orvane-station for the installed radiosim's port, and
# the installed panel, started as the desktop entry starts it, in a window under Xvfb against
# radiosim, speaking from the installed clip set and ending on Q.
set -uo pipefail
source lib/checks.sh
export DEBIAN_FRONTEND=noninteractive

deb=$(ls ./orvane_*.deb)
apt-get update -qq || { echo "FAIL apt-get update"; exit 1; }
if ! apt-get install -y -qq "$deb" >apt.out 2>&1; then
  echo "FAIL apt install $deb"
  cat apt.out
  exit 1
fi
echo "installed $(dpkg-query -W -f='${Package} ${Version}' orvane) with $(grep -c '^Unpacking' apt.out) packages"

# Before any test tool comes in: the package's own dependencies must be enough.
check "every library of orvane is there" bash -c '! ldd /usr/bin/orvane | grep -q "not found"'
check "every library of radiosim is there" bash -c '! ldd /usr/bin/radiosim | grep -q "not found"'
check "orvane --version" test "$(orvane --version | head -1)" = "orvane 1.9"
check "the large face, Liberation Sans Bold, is installed" \
  test -f /usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf

# A desktop machine has man; the fresh root has not. The test tools come after the checks above.
apt-get install -y -qq --no-install-recommends man-db xvfb xdotool >tools.out 2>&1 ||
  { echo "FAIL installing man-db, xvfb, xdotool"; cat tools.out; exit 1; }
check "man orvane reads" bash -c 'MANWIDTH=100 man -P cat orvane 2>&1 | grep -q "spoken control panel"'
check "man orvane-station reads" bash -c 'man -P cat orvane-station 2>&1 | grep -q dialout'

work=$(mktemp -d)
radio_pid="" xvfb_pid="" panel_pid=""
cleanup() {
  [ -n "$panel_pid" ] && kill -TERM "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
  [ -n "$radio_pid" ] && kill -TERM "$radio_pid" 2>/dev/null && wait "$radio_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
cd "$work" || exit 1
start_xvfb "$work" || exit 1

mkdir radio
radiosim --dir radio --port 3 --drift --log radio.log --control radio.ctl 2>radiosim.err &
radio_pid=$!
wait_for 50 test -L radio/com3 || { echo "FAIL radiosim did not start"; cat radiosim.err; exit 1; }
orvane-station "$HOME/orvane" "$work/radio/com3" >station.out 2>&1
station_status=$?
cat station.out
check "orvane-station made ~/orvane (exit status $station_status)" \
  test "$station_status" -eq 0 -a -f "$HOME/orvane/orvane.cfg" -a -L "$HOME/orvane/com1"

exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/io.github.orvane.Orvane.desktop)
speech_pipe speech.raw
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/stdout $exec_line \
  >&"$speech_fd" 2>panel.out &
panel_pid=$!
exec {speech_fd}>&-
polled() { [ "$(radio_commands radio.log | grep -cx SM0)" -ge 10 ]; }
wait_for 100 find_panel_window || { echo "FAIL no window"; cat panel.out; exit 1; }
wait_for 150 polled
quit_panel

mapfile -t sent < <(radio_commands radio.log)
startup=(MD1 FA00007100000 PA00 RA00 NB0 PC100 FR0 AG0050 RG255)
check "the desktop entry's panel sent the start-up commands: ${startup[*]}" \
  test "${sent[*]:0:9}" = "${startup[*]}"
check "it polled the radio (${#sent[@]} commands)" test "${#sent[@]}" -ge 20
check "it ended on Q with exit status 0 (got $panel_status)" test "$panel_status" -eq 0
speech_written
check "it spoke from the installed clip set" \
  test -n "$(od -An -v -td2 -w2 speech.raw | awk '$1 != 0' | head -1)"
check "memory.dat written in ~/orvane" test -s "$HOME/orvane/memory.dat"

if [ "$failures" -ne 0 ]; then
  for f in panel.out radiosim.err; do echo "--- $f"; cat "$f"; done
  echo "--- radio.log"; head -30 radio.log
  exit 1
fi
echo "all checks passed in the fresh root"
exit 0
