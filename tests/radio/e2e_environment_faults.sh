#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real panel on a computer that lets it down, against the simulated radio under Xvfb, with
# SDL's disk driver as the speaker:
#   no display          one line on standard error, exit code 1, no port, no files;
#   orvane.cfg a directory: as if it were missing: "cfgnf", exit code 0, nothing to the radio;
#   damaged memory.dat  and clips that are cut, empty, text, MP3 or a directory: no junk reaches
#                       the radio, the whole clips (and the whole part of a cut one) still play;
#   no sound device     and wave/ a plain file: silence, and the keys still reach the radio;
#   memory.dat a directory: left as it is.
#
# usage: e2e_environment_faults.sh BUILD_DIR
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../lib/checks.sh"
source "$here/../lib/panel_runs.sh"

build=$(cd "${1:?usage: e2e_environment_faults.sh BUILD_DIR}" && pwd)
orvane="$build/orvane"
radiosim="$build/radiosim"
need Xvfb xdotool perl od

e2e_workdir environment

start_radiosim "$radiosim" "$work" || exit 1
config='port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n'
startup="MD1 FA00007100000 PA00 RA00 NB0 PC100 FR0 AG0050 RG255"
line_of() { sed -n "$2p" "$1" | tr -d '\r'; }
heard_radio() { grep -aq '^RX=FA' "$1/debug.dat" 2>/dev/null; }

# run_panel DIR [VAR=VALUE...]: the panel in DIR on the X server with the disk driver as its speaker
# (DIR.raw, through the panel's standard output) unless told otherwise; its errors in DIR.err.
# Sets mark and panel_pid.
run_panel() {
  local dir=$1
  shift
  mark=$(radio_mark)
  speech_pipe "$dir.raw"
  (cd "$dir" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/stdout \
    "$@" "$orvane" >&"$speech_fd" 2>"$dir.err") &
  panel_pid=$!
  exec {speech_fd}>&-
}
# until_quit DIR: waits for the window and the radio, types the keys after DIR, then Q, and waits
# for the end; sets panel_status.
until_quit() {
  local dir=$1
  shift
  wait_for 100 find_panel_window || echo "note: no panel window for $dir"
  wait_for 100 heard_radio "$dir" || echo "note: the panel in $dir did not hear the radio"
  press "$@" q
  wait_for 150 ended "$panel_pid" || kill -KILL "$panel_pid"
  wait "$panel_pid"
  panel_status=$?
  panel_pid=""
}

# --- no display ----------------------------------------------------------------------------------
run="$work/no-display"
new_run "$run" "$config"
mark=$(radio_mark)
(cd "$run" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
  "$orvane" >"$run.out" 2>"$run.err") &
panel_pid=$!
wait_for 100 ended "$panel_pid" || kill -KILL "$panel_pid"
wait "$panel_pid"
panel_status=$?
panel_pid=""
check "no display: exit code 1 (got $panel_status)" test "$panel_status" -eq 1
check "no display: one line on standard error: $(head -c 200 "$run.err")" \
  test "$(wc -l <"$run.err")" -eq 1 -a "$(grep -c 'DISPLAY' "$run.err")" -eq 1
check "no display: nothing sent to the radio" test -z "$(commands_since "$mark")"
check "no display: no file written" test "$(cd "$run" && ls -A | tr '\n' ' ')" = "com3 orvane.cfg "

start_xvfb "$work" || exit 1

# --- orvane.cfg is a directory --------------------------------------------------------------------
run="$work/config-directory"
mkdir -p "$run/orvane.cfg" "$run/wave"
make_wav "$run/wave/cfgnf.wav" 2205 4000
run_panel "$run"
wait_for 100 ended "$panel_pid" || kill -KILL "$panel_pid"
wait "$panel_pid"
panel_status=$?
panel_pid=""
check "configuration a directory: exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "configuration a directory: \"cfgnf\" is heard (heard: $(sounds "$run.raw" | tr '\n' ' '))" \
  test "$(sounds "$run.raw")" = "2205 4000"
check "configuration a directory: nothing sent to the radio" test -z "$(commands_since "$mark")"

# --- damaged memory.dat, damaged clips ------------------------------------------------------------
run="$work/damaged"
new_run "$run" "$config"
mkdir -p "$run/wave/0.wav"                                # a directory where a clip should be
head -c 30 "$work/config-directory/wave/cfgnf.wav" >"$run/wave/ts.wav"  # header cut
echo "this is no clip" >"$run/wave/1.wav"
: >"$run/wave/point.wav"
printf 'ID3\4\0\0\0\0\0\17\377\373\220\144' >"$run/wave/9.wav"  # an MP3 file
make_wav "$run/wave/connected.wav" 2205 3000
make_wav "$run/wave/gch.wav" 1000 5000
truncate -s $((44 + 2 * 500 + 1)) "$run/wave/gch.wav"          # data cut in mid-sample
make_wav "$run/wave/invalid.wav" 1500 7000
{
  printf 'FA%011d\r\n' 1900000 3600000 5400000
  printf 'TX1;\r\n'                                         # would key the transmitter
  printf 'FA%011d\r\n' 10100000 14200000 18100000 21200000 24890000 28500000 50150000
  printf '1506TX1;000000000\0\377\376junk\r\n'               # channel 0
  printf '9\r\n%.0s' {1..9}
} >"$run/memory.dat"
run_panel "$run"
until_quit "$run" g 0
check "damaged: exit code 0 (got $panel_status)" test "$panel_status" -eq 0
check "damaged: the start-up sends the 40 m start frequency" \
  test "$(commands_since "$mark" | head -9 | tr '\n' ' ')" = "$startup "
check "damaged: no junk reaches the radio" \
  test -z "$(commands_since "$mark" | grep -v -E '^(F[AB]([0-9]{11})?|SM0|ID|[A-Z]{2}[0-9]{1,4})$')"
check "damaged: no transmit command" test -z "$(commands_since "$mark" | grep '^TX')"
check "damaged: only the whole clips and the whole part of the cut one play ($(sounds "$run.raw" |
  tr '\n' ' '))" test "$(sounds "$run.raw" | tr '\n' ' ')" = "2205 3000 500 5000 1500 7000 "
check "damaged: the memory file is written back sound" \
  test "$(line_of "$run/memory.dat" 4) $(line_of "$run/memory.dat" 12)" = "FA00007100000 9"

# --- no sound device; wave/ a plain file ----------------------------------------------------------
for fault in no-sound-device wave-a-file; do
  run="$work/$fault"
  new_run "$run" "$config"
  if [ "$fault" = no-sound-device ]; then
    ln -s "$(cd "$here/../.." && pwd)/wave" "$run/wave"
    # An ALSA card that is not there (or no ALSA at all): SDL opens no device.
    run_panel "$run" SDL_AUDIODRIVER=alsa AUDIODEV=hw:99
  else
    echo "not a directory" >"$run/wave"
    # And a directory where memory.dat should be: there but unreadable, so never saved over.
    mkdir -p "$run/memory.dat" && echo keep >"$run/memory.dat/mine"
    run_panel "$run"
  fi
  until_quit "$run" F1
  check "$fault: exit code 0 (got $panel_status)" test "$panel_status" -eq 0
  check "$fault: F1 reaches the radio" bash -c "grep -qx PA1 <<<\"\$0\"" "$(commands_since "$mark")"
done
check "wave/ a file: nothing sounds" test -z "$(sounds "$work/wave-a-file.raw")"
check "memory.dat a directory: left as it was" \
  test "$(cd "$work/wave-a-file/memory.dat" && ls -A) $(cat "$work/wave-a-file/memory.dat/mine")" = \
  "mine keep"

if [ "$failures" -ne 0 ]; then
  echo "--- radio.log"; cat radio.log
  for out in "$work"/*.out "$work"/*.err; do echo "--- $out"; cat "$out"; done
  exit 1
fi
exit 0
