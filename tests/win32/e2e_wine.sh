#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# orvane.exe under Wine and Xvfb against the simulated radio: Wine's COM3 is mapped to radiosim's
# pseudo-terminal, keys are typed into the window with xdotool, and the sound goes to a captured
# ALSA device. The start-up commands, the polls, a frequency entry and Q reach the radio, the panel
# says what it should, and memory.dat is written with CR LF lines. Before the panel, the COM port
# tests of orvane_win32_tests run on the same line. A second run loses the line, finds it again,
# and is closed with Alt+F4; a third is ended by the end of the Windows session.
#
# usage: e2e_wine.sh ORVANE_EXE WIN32_TESTS_EXE NATIVE_BUILD_DIR WINE PREFIX
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"

usage="usage: e2e_wine.sh ORVANE_EXE WIN32_TESTS_EXE NATIVE_BUILD_DIR WINE PREFIX"
orvane=${1:?$usage}
win32_tests=${2:?$usage}
native=$(cd "${3:?$usage}" && pwd)
wine=${4:?$usage}
prefix=${5:?$usage}
need Xvfb xdotool "$native/radiosim" "$native/clip_tags"
source "$here/wine_checks.sh"
# What the radio, the panel and the COM port tests saw, after a failure.
show_what_happened() {
  echo "--- radio.log (from the panel's start)"; tail -n "+$((${mark:-0} + 1))" radio.log | head -40
  echo "--- debug.dat"; tr -d '\r' <debug.dat 2>/dev/null | grep -v '^[TR]X=\(FA\|SM\)' | tail -20
  echo "--- COM3"; ls -l "$prefix/dosdevices/com3" "$work/com3" 2>&1
  echo "--- COM port tests"; cat serial_tests.out 2>/dev/null
  echo "--- panel output"; cat panel.out panel2.out panel3.out 2>/dev/null
}
e2e_workdir wine
start_xvfb "$work" || exit 1
start_radiosim "$native/radiosim" "$work" 3 || exit 1

map_com3 "$work/com3"

ORVANE_TEST_COM=3 run_wine "$win32_tests" --gtest_filter='Win32Serial.*' >serial_tests.out 2>&1
serial_status=$?
check "COM port tests on the radio's line (exit $serial_status)" \
  bash -c "[ $serial_status -eq 0 ] && grep -q 'PASSED.* 2 tests' serial_tests.out"

printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 2\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
mkdir -p wave && "$native/clip_tags" make wave || exit 1
mark=$(wc -l <radio.log)

ORVANE_WINE_SOUND_CAPTURE=$work/speech.raw run_wine "$orvane" >panel.out 2>&1 &
panel_pid=$!
wait_for 300 find_panel_window || { echo "FAIL the panel window did not appear"; cat panel.out; exit 1; }
connected() { grep -aq '^RX=FA' debug.dat 2>/dev/null; }
wait_for 300 connected || { echo "FAIL the panel never heard the radio"; show_what_happened; exit 1; }

commands() { tail -n "+$((mark + 1))" radio.log | radio_commands /dev/stdin; }
has() { commands | grep -qx "$1"; }
press_delay_ms=80

press e 1 4 period 1 9 5 Return
wait_for 100 has FA00014195000
# The panel hears the new frequency before it quits, so it keeps it as the 20 m band memory.
heard_new() { grep -aq '^RX=FA00014195000' debug.dat; }
wait_for 100 heard_new
# The window shows the frequency in large black text, drawn with GDI into the window's bitmap,
# and nothing below it (the client area's own coordinates: Wine's X window is the client area).
shot_part() {
  xwd -id "$window" -silent | convert xwd:- -crop "$3x$4+$1+$2" +repage -colorspace gray \
    -format '%[fx:minima]' info: 2>/dev/null
}
check "the frequency is drawn in the window" test "$(shot_part 285 150 600 80)" = 0
check "below it the window is blank" test "$(shot_part 285 260 600 60)" = 1
quit_panel 200

mapfile -t sent < <(commands)
startup=(MD1 FA00007100000 PA00 RA00 NB0 PC100 FR0 AG0050 RG255)
check "start-up commands in order: ${startup[*]} (got ${sent[*]:0:9})" \
  test "${sent[*]:0:9}" = "${startup[*]}"
polls_fa=$(printf '%s\n' "${sent[@]}" | grep -cx FA)
polls_sm=$(printf '%s\n' "${sent[@]}" | grep -cx SM0)
check "the panel polls the frequency and the S-meter (FA $polls_fa, SM0 $polls_sm times)" \
  test "$polls_fa" -ge 5 -a "$polls_sm" -ge 5
check "the entered frequency reached the radio" has FA00014195000
check "nothing malformed on the wire" bash -c "[ -z \"\$(malformed_commands radio.log)\" ]"
check "panel exit code 0 after Q (got $panel_status)" test "$panel_status" -eq 0

check "memory.dat has 21 lines, each ending in CR LF" \
  bash -c "[ \$(grep -c \$'\r\$' memory.dat) -eq 21 ] && [ \$(wc -l <memory.dat) -eq 21 ]"
check "memory.dat keeps 14.195 MHz as the 20 m band memory" \
  test "$(sed -n 6p memory.dat 2>/dev/null | tr -d '\r')" = FA00014195000

mapfile -t said < <("$native/clip_tags" heard speech.raw)
check "the start-up announcement: ts 1 point 9 (heard ${said[*]:0:4})" \
  test "${said[*]:0:4}" = "ts 1 point 9"
check "then the entry, the 20 m preamplifier, quit and delay (heard ${said[*]:4})" \
  test "${said[*]:4}" = "connected EF 1 4 point 1 9 5 preamp on ok quit delay"

# Second run: the radio's line goes away and comes back (radiosim ended and started again on a new
# pseudo-terminal behind the same link), then Alt+F4 asks the window to close: the panel ends the
# orderly way and saves memory.dat.
mv memory.dat memory.first
mv debug.dat debug.first
ORVANE_WINE_SOUND_CAPTURE=$work/speech2.raw run_wine "$orvane" >panel2.out 2>&1 &
panel_pid=$!
wait_for 300 connected || { echo "FAIL the second panel never heard the radio"; show_what_happened; exit 1; }
kill -TERM "$radio_pid" && wait "$radio_pid"
radio_pid=""
port_line() { grep -aq "^PORT=$1"$'\r$' debug.dat; }
check "a line gone is noticed (PORT=lost)" wait_for 50 port_line lost
start_radiosim "$native/radiosim" "$work" 3 || exit 1
check "and found again (PORT=open)" wait_for 50 port_line open
answers_again() { [ "$(tr -d '\r' <debug.dat | sed -n '/^PORT=open$/,$p' | grep -c '^RX=FA')" -ge 1 ]; }
check "the radio is heard again" wait_for 50 answers_again
wait_for 300 find_panel_window
press alt+F4
await_panel_end 200
check "Alt+F4 ends the panel with exit code 0 (got $panel_status)" test "$panel_status" -eq 0
saved() { [ "$(grep -c $'\r$' memory.dat 2>/dev/null)" -eq 21 ]; }
check "memory.dat saved after Alt+F4" saved

# Third run: the Windows session ends as at a log-off (Wine's wineboot sends WM_QUERYENDSESSION and
# WM_ENDSESSION): memory.dat is saved all the same.
rm -f memory.dat debug.dat
ORVANE_WINE_SOUND_CAPTURE=$work/speech3.raw run_wine "$orvane" >panel3.out 2>&1 &
panel_pid=$!
wait_for 300 connected || { echo "FAIL the third panel never heard the radio"; show_what_happened; exit 1; }
run_wine wineboot --end-session >/dev/null 2>&1
wait_for 200 ended "$panel_pid" || kill -KILL "$panel_pid"
wait "$panel_pid"
panel_pid=""
check "memory.dat saved when the session ends" saved

if [ "$failures" -ne 0 ]; then
  show_what_happened
  exit 1
fi
echo "orvane.exe under Wine: all checks passed"
exit 0
