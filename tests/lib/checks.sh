# SPDX-License-Identifier: GPL-3.0-or-later
# Shared pieces of the end-to-end test scripts; sourced, not run.

failures=0

# need TOOL...: the test fails at once when something it needs is not installed.
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
  done
}

# e2e_workdir NAME: a fresh working directory for the test, which becomes the current directory,
# and a clean-up at exit: the panel, the simulated radio and the X server the script started end
# in that order (the panel with $panel_stop_signal, TERM unless the script says otherwise), the
# script's own extra_cleanup runs (if it has one) once the panel is gone, and the directory is
# removed (ORVANE_E2E_KEEP=1 keeps it).
xvfb_pid=""
radio_pid=""
panel_pid=""
panel_stop_signal=TERM
end_everything() {
  [ -n "$panel_pid" ] && kill "-$panel_stop_signal" "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
  [ "$(type -t extra_cleanup)" = function ] && extra_cleanup
  [ -n "$radio_pid" ] && kill -TERM "$radio_pid" 2>/dev/null && wait "$radio_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  if [ "${ORVANE_E2E_KEEP:-0}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
e2e_workdir() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-$1-XXXXXX")
  trap end_everything EXIT
  cd "$work" || exit 1
}

# runnable_build BUILD_DIR PROGRAM...: prints a directory that holds the build's PROGRAMs ready to
# run on this machine: the build directory itself, or, for a build for another machine whose
# emulator ORVANE_TEST_EMULATOR names (a cross build run under qemu-aarch64), a directory in $work
# of scripts that run each program through it. They exec it, so a program keeps their process id.
runnable_build() {
  local build=$1 program
  shift
  if [ -z "${ORVANE_TEST_EMULATOR:-}" ]; then
    echo "$build"
    return
  fi
  mkdir -p "$work/emulated"
  for program in "$@"; do
    printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$ORVANE_TEST_EMULATOR" "$build/$program" \
      >"$work/emulated/$program"
    chmod +x "$work/emulated/$program"
  done
  echo "$work/emulated"
}

# check DESCRIPTION COMMAND...: runs the command, reports ok or FAIL, counts failures.
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# wait_for TENTHS COMMAND...: waits up to TENTHS tenths of a second for the command to succeed.
wait_for() {
  local tenths=$1 i
  shift
  for ((i = 0; i < tenths; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

# ended PID: whether the process has ended (gone, or a zombie waiting for us).
ended() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)
  [ -z "$state" ] || [ "$state" = Z ]
}

# start_xvfb DIR: starts an X server of our own, exports DISPLAY and sets xvfb_pid. -noreset keeps
# it alive between clients: otherwise it resets when its last client leaves, and a program
# connecting at that moment silently loses its display.
start_xvfb() {
  local dir=$1 has_display
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp -noreset 3>"$dir/display" \
    >"$dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  has_display() { grep -q . "$dir/display" 2>/dev/null; }
  if ! wait_for 100 has_display; then
    echo "FAIL Xvfb did not start"
    cat "$dir/xvfb.log"
    return 1
  fi
  export DISPLAY=":$(head -1 "$dir/display")"
}

# The commands the simulated radio received, from its log.
radio_commands() { awk '$2 !~ /^[@#]/ {print $2}' "${1:-radio.log}"; }

# Commands in the radio log that the panel never sends well-formed: anything but two upper-case
# letters and digits (and the fixed "SWT28" and "Poweron"), and frequencies without 11 digits.
malformed_commands() {
  radio_commands "${1:-radio.log}" | grep -Evx '[A-Z]{2}[0-9]*|SWT28|Poweron'
  radio_commands "${1:-radio.log}" | grep -Ex 'F[AB].*' | grep -Evx 'F[AB]([0-9]{11})?'
}

# start_radiosim RADIOSIM DIR [PORT]: the simulated radio on port PORT (default 3) at 9600 baud,
# linked as DIR/comPORT, with its log in radio.log and its control FIFO radio.ctl; sets radio_pid
# and waits for the link.
start_radiosim() {
  local radiosim=$1 dir=$2 port=${3:-3}
  "$radiosim" --dir "$dir" --port "$port" --baud 9600 --log radio.log --control radio.ctl \
    2>radiosim.err &
  radio_pid=$!
  if ! wait_for 50 test -L "$dir/com$port"; then
    echo "FAIL radiosim did not link com$port"
    cat radiosim.err
    return 1
  fi
}

# speech_pipe FILE: opens speech_fd, a pipe into FILE, for the standard output of a panel whose
# sound SDL's disk driver writes to /dev/stdout; sets speech_pid. The panel closes its sound device
# when it has nothing to say, and the driver would start a file afresh each time it is opened.
speech_pid=""
speech_pipe() {
  exec {speech_fd}> >(exec cat >"$1")
  speech_pid=$!
}
# speech_written: once the panel has ended, waits until the last of its sound has reached the file.
speech_written() {
  if [ -n "$speech_pid" ] && ended "${panel_pid:-0}"; then wait_for 50 ended "$speech_pid"; fi
  return 0
}

# start_speaking_panel BUILD_DIR: the panel in the current directory, in a window on $DISPLAY,
# with clips that tell which clip they are (wave/, made by clip_tags) and its sound written to
# speech.raw by SDL's disk driver; sets panel_pid and window once the window is there.
start_speaking_panel() {
  local build=$1
  clip_tags="$build/clip_tags"
  mkdir -p wave && "$clip_tags" make wave || return 1
  speech_pipe speech.raw
  SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/stdout "$build/orvane" \
    >&"$speech_fd" 2>panel.out &
  panel_pid=$!
  exec {speech_fd}>&-
  wait_for 100 find_panel_window ||
    { echo "FAIL the panel window did not appear"; cat panel.out; return 1; }
}

# find_panel_window: sets window to the panel's visible window, if there is one (for wait_for).
window=""
find_panel_window() {
  window=$(xdotool search --onlyvisible --name 'Velomar Deck' 2>/dev/null | head -1)
  [ -n "$window" ]
}

# press KEY...: types the keys into the panel's window, press_delay_ms apart.
press_delay_ms=50
press() {
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key --delay "$press_delay_ms" "$@"
}

# await_panel_end [TENTHS]: waits for the panel's end (killing it after TENTHS tenths of a second,
# 15 s unless given); sets panel_status and clears panel_pid.
panel_status=""
await_panel_end() {
  wait_for "${1:-150}" ended "$panel_pid" || kill -KILL "$panel_pid"
  wait "$panel_pid"
  panel_status=$?
  panel_pid=""
}
# stop_panel SIGNAL: sends the signal and waits for the panel's end.
stop_panel() {
  kill "-$1" "$panel_pid"
  await_panel_end
}
# quit_panel [TENTHS]: presses Q in the panel's window and waits for the panel's end.
quit_panel() {
  press q
  await_panel_end "$@"
}

# clip_played WAV RAW: whether the first samples of the clip WAV are in RAW, what the sound device
# was given. The installed clips are in the device's own format, so they reach it unchanged.
clip_played() {
  perl -e 'local $/; open my $c, "<", $ARGV[0] or exit 1; my $wav = <$c>;
    open my $r, "<", $ARGV[1] or exit 1; my $raw = <$r>;
    my $at = index($wav, "data"); exit 1 if $at < 0;
    my $samples = substr($wav, $at + 8, 8000);
    exit(length($samples) > 0 && index($raw, $samples) >= 0 ? 0 : 1)' "$1" "$2"
}

# What the panel has said so far, one clip a line.
heard() {
  speech_written
  "$clip_tags" heard speech.raw
}
# heard_times CLIP: how often it has been said.
heard_times() { heard | grep -cx "$1"; }
# said_times CLIP N: whether it has been said N times (for wait_for).
said_times() { [ "$(heard_times "$1")" -ge "$2" ]; }
