#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real panel in a terminal, through a real pseudo-terminal, against the simulated radio, with
# no display: started plainly it says so and takes the terminal; keys typed as xterm and as the
# Linux console send them reach the radio as the same commands as from the window; a held key's
# repeats are left out, keys typed ahead while the panel speaks all count; a lone Escape swallows
# nothing; the status line follows the radio and is written only when it changes (a line for each
# change when standard output is a file); speech comes through SDL's audio alone; and the terminal's
# settings are as they were after Q, SIGTERM, Ctrl-C, a hang-up and a crash.
#
# usage: e2e_terminal.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_terminal.sh BUILD_DIR}" && pwd)
need python3

e2e_workdir terminal
build=$(runnable_build "$build" orvane radiosim clip_tags)
orvane="$build/orvane"
source "$here/../lib/panel_runs.sh"
source "$here/../lib/terminal_runs.sh"
ulimit -c 0  # the crash below leaves no core file

printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
start_radiosim "$build/radiosim" "$work" || exit 1
clip_tags="$build/clip_tags"
mkdir -p wave && "$clip_tags" make wave || exit 1
# The digits and the modes speak for 300 ms (in silence), so that keys typed ahead and a held key's
# repeats arrive while the panel is busy speaking, as with the real clips.
for clip in 0 1 2 3 4 5 6 7 8 9 lsb usb cw am fm; do make_wav "wave/$clip.wav" 6615 0; done


# --- xterm, started plainly with no display --------------------------------------------------------
start_panel xterm xterm -- "$orvane" || exit 1
check "no display: one line says the panel runs in this terminal" \
  grep -aq '^orvane: no display.*; running in this terminal' xterm.screen
check "the title and the help lines above the status line" \
  bash -c 'grep -aq "^\*\*\* Orvane V 1.9 \*\*\*" xterm.screen && grep -aq "^F1=Preamp" xterm.screen'

mark=$(radio_mark)
typed xterm t
wait_for 50 sent_since "$mark" AC111
sleep 0.5  # polls while the tuner runs
typed xterm t
settle "$mark" "xterm: T twice starts and stops the tuner" RM1 AC111 RM1 AC110
key_gives xterm '\x1b[C' FA00007100100
key_gives xterm '\x1b[D' FA00007100000
key_gives xterm '\x1b[A' FA00007101000
key_gives xterm '\x1bOB' FA00007100000
key_gives xterm '\x1b[5~' FA00007110000
key_gives xterm '\x1b[6~' FA00007100000
key_gives xterm '=' FA00008100000
key_gives xterm '-' FA00007100000
key_gives xterm '\x1bOP' PA1
key_gives xterm '\x1bOQ' RA01
key_gives xterm '\x1bOR' NB1
key_gives xterm '\x1bOS' NR1
key_gives xterm '\x1b[15~' NT1  # the TS-2000's notch
key_gives xterm '\x1b[17~'
key_gives xterm '\x1bt'  # Alt-T: neither Escape nor the tuner
key_gives xterm m MD2
key_gives xterm m MD3
key_gives xterm '\x1b[17~' SWT28

# A frequency typed while the panel speaks each digit: the keys wait, and "0" "0" count twice.
mark=$(radio_mark)
type_slowly xterm e 1 4 . 0 0 5 '\r'
settle "$mark" "xterm: E 1 4 . 0 0 5 Enter typed ahead" FA00007100000 FA00014005000 PA1

# Held keys, at a desktop's repeat settings: one that speaks while its repeats come, one that
# does not.
mark=$(radio_mark)
echo 'hold m 500 33 15' >xterm.ctl
settle "$mark" "xterm: M held down for a second changes the mode once" MD5
mark=$(radio_mark)
echo 'hold \x1b[C 500 33 15' >xterm.ctl
settle "$mark" "xterm: Right held down for a second steps once" FA00014005100
# A quick finger: Up five times, 120 ms apart, five steps, each from the one before, although
# answers to polls sent before each step keep arriving after it.
mark=$(radio_mark)
for _ in 1 2 3 4 5; do typed xterm '\x1b[A'; sleep 0.12; done
settle "$mark" "xterm: Up pressed five times quickly steps five times" FA00014006100 \
  FA00014007100 FA00014008100 FA00014009100 FA00014010100

# The radio's knob and meter: a signal of 27, heard through the preamplifier (+2) and the
# attenuator (-4) switched on above, reads 25, S8.
echo "freq 7074000" >radio.ctl
echo "smeter 27" >radio.ctl
wait_for 50 shows xterm '^AM +S8 +7\.074000$'
check "the status line follows the radio: $(status_line xterm)" \
  shows xterm '^AM +S8 +7\.074000$'
size=$(stat -c %s xterm.screen)
sleep 1
check "nothing written while nothing changes (the radio answers ten times a second)" \
  test "$(stat -c %s xterm.screen)" -eq "$size"
check "each change written in place: carriage return, the line, erase to its end; no cursor jumps" \
  bash -c '! grep -aqP "\e\[(?!K)" xterm.screen'

typed xterm q
finish
check "xterm: Q ends the panel with exit code 0 (got $status)" test "$status" -eq 0
check "xterm: the terminal's settings are as they were after Q" same_settings xterm
heard=$("$clip_tags" heard xterm.speech | tr '\n' ' ')
check "speech through SDL's audio with no display: connected, tune, on ... quit (heard: $heard)" \
  bash -c '[[ "$0" == *"connected "*"tune on "*"tune off "*"quit"* ]]' "$heard"

# --- the Linux console's sequences, --terminal, standard output a file -----------------------------
rm -f memory.dat
start_panel linux linux --stdout linux.out -- "$orvane" --terminal || exit 1
key_gives linux '\x1b[[A' PA1
key_gives linux '\x1b[[B' RA01
key_gives linux '\x1b[[C' NB1
key_gives linux '\x1b[[D' NR1
key_gives linux '\x1b[[E' NT1
key_gives linux '\x1b[17~'
key_gives linux '\x1b[A' FA00007101000
key_gives linux '\x1b[B' FA00007100000
key_gives linux '\x1b[5~' FA00007110000
key_gives linux '\x1b[6~' FA00007100000
mark=$(radio_mark)
typed linux '\x1b'
sleep 0.05
typed linux t
settle "$mark" "linux: a lone Escape (the frequency again), then T is not swallowed" \
  FA00007100000 RM1 AC111
key_gives linux t RM1 AC110
mark=$(radio_mark)
echo 'hold \x1b[A 250 33 20' >linux.ctl
settle "$mark" "linux: Up held at the console's repeat rate steps once" FA00007101000
check "standard output a file: a plain line for each change, no control characters" \
  bash -c '! grep -aqP "[\r\e]" linux.out && test "$(uniq linux.out | wc -l)" -eq "$(wc -l <linux.out)"'
kill -TERM "$panel_pid"
finish
check "linux: SIGTERM ends the panel with exit code 0 (got $status)" test "$status" -eq 0
check "linux: SIGTERM saves the memory file" test -s memory.dat
check "linux: the terminal's settings are as they were after SIGTERM" same_settings linux

# --- the terminal goes away ------------------------------------------------------------------------
rm -f memory.dat
start_panel hangup xterm -- "$orvane" --terminal || exit 1
echo hangup >hangup.ctl
finish
check "hang-up: the panel ends the orderly way (exit code $status, memory saved)" \
  test "$status" -eq 0 -a -s memory.dat

# --- Ctrl-C ----------------------------------------------------------------------------------------
start_panel ctrl-c xterm -- "$orvane" --terminal || exit 1
typed ctrl-c '\x03'
finish
check "Ctrl-C: the panel ends the orderly way (exit code $status), the settings as they were" \
  bash -c 'test "$0" -eq 0 && cmp -s ctrl-c.before ctrl-c.after' "$status"

# --- a crash ---------------------------------------------------------------------------------------
start_panel crash xterm -- "$orvane" -t || exit 1
kill -ABRT "$panel_pid"
finish
check "crash: the terminal's settings are as they were (exit code $status)" same_settings crash

# --- no terminal -----------------------------------------------------------------------------------
mark=$(radio_mark)
env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy "$orvane" --terminal </dev/null \
  >notty.out 2>notty.err
status=$?
check "--terminal without a terminal: exit code 1, one line ($(cat notty.err))" \
  test "$status" -eq 1 -a "$(wc -l <notty.err)" -eq 1
check "--terminal without a terminal: nothing sent to the radio" test -z "$(commands_since "$mark")"

if [ "$failures" -ne 0 ]; then
  for r in xterm linux hangup ctrl-c crash; do
    echo "--- $r: screen"; cat -v "$r.screen" 2>/dev/null | tail -20
    [ -s "$r.out" ] && { echo "--- $r: standard output"; tail -20 "$r.out"; }
  done
  echo "--- radio.log"; tail -80 radio.log
  exit 1
fi
exit 0
