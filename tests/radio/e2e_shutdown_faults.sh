#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real panel's end under faults of the computer, against the simulated radio under Xvfb:
#   SIGTERM, SIGINT, SIGHUP  an orderly shut-down: channel and band memory saved, "PS9" sent, exit code 0;
#   read-only working directory, full disk at save time: the previous memory.dat stays byte for
#                    byte, no temporary file is left, exit code 0;
#   SIGKILL          the previous memory.dat stays byte for byte.
# Once the panel runs, the radio's knob is turned to 7.074 MHz, so every saved file differs from the
# previous one in its 40 m line: an unchanged file means the save really did not happen.
#
# The read-only directory and the full disk are a read-only bind mount and a small tmpfs, made in a
# mount namespace of this script's own (a user namespace too when not run as root), so they vanish
# with it. Where no namespace can be made, a normal user gets a directory without write permission
# and a file size limit instead; root then fails the read-only case, since it writes anywhere.
#
# usage: e2e_shutdown_faults.sh BUILD_DIR
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
if [ -z "${ORVANE_E2E_NAMESPACE:-}" ]; then
  unshare_options=(--mount --propagation private)
  [ "$(id -u)" -ne 0 ] && unshare_options=(--map-root-user "${unshare_options[@]}")
  if unshare "${unshare_options[@]}" true 2>/dev/null; then
    ORVANE_E2E_NAMESPACE=1 exec unshare "${unshare_options[@]}" bash "${BASH_SOURCE[0]}" "$@"
  fi
  echo "note: no mount namespace here; falling back to permissions and a file size limit"
  export ORVANE_E2E_NAMESPACE=none
fi
source "$here/../lib/checks.sh"
source "$here/../lib/panel_runs.sh"
# Job control: background jobs get SIGINT as a program started from a terminal does (a script
# without it starts them with SIGINT ignored).
set -m

build=$(cd "${1:?usage: e2e_shutdown_faults.sh BUILD_DIR}" && pwd)
orvane="$build/orvane"
radiosim="$build/radiosim"
need Xvfb xdotool perl

extra_cleanup() {
  umount "$work/read-only" "$work/full-disk" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
}
e2e_workdir shutdown

start_xvfb "$work" || exit 1
start_radiosim "$radiosim" "$work" || exit 1

# Power switching on: every start wakes the radio, every orderly end sends "PS9". Debug log off, so
# that nothing but the memory file is written.
config='port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 1\r\ndebug 0\r\n'
previous_memory() {
  start_band_memories
  printf '0206FA00014200000FA00014200000\r\n'
  printf '9\r\n%.0s' {1..9}
}
line_of() { sed -n "$2p" "$1" | tr -d '\r'; }
listing() { (cd "$1" && ls -A); }

# heard_new_frequency DIR: once the panel has heard the radio, the operator turns the knob (the
# start-up has just tuned the radio to the 40 m memory) and the panel hears the new frequency.
heard_new_frequency() {
  wait_for 100 polled_twice "$mark" || echo "note: the panel in $1 did not hear the radio"
  local knob
  knob=$(radio_mark)
  echo "freq 7074000" >radio.ctl
  wait_for 100 polled_twice "$knob" || echo "note: the panel in $1 did not hear the knob"
}

# start_panel DIR: the panel in DIR on the X server, its output in DIR.out, until it has heard the
# new frequency. Sets mark (the radio's log before the start) and panel_pid.
start_panel() {
  mark=$(radio_mark)
  (cd "$1" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$orvane" >"$1.out" 2>&1) &
  panel_pid=$!
  heard_new_frequency "$1"
}

# --- SIGTERM, SIGINT and SIGHUP: orderly shut-down ------------------------------------------------
for signal in TERM INT HUP; do
  run="$work/$signal"
  new_run "$run" "$config"
  previous_memory >"$run/memory.dat"
  start_panel "$run"
  if [ "$signal" = TERM ]; then
    wait_for 100 find_panel_window || echo "note: no panel window"
    press c 3
    sleep 0.3  # the keys pass the X server and the panel's queue
  fi
  stop_panel "$signal"
  check "SIG$signal: exit code 0 (got $panel_status)" test "$panel_status" -eq 0
  check "SIG$signal: the radio is switched off at the end" \
    test "$(commands_since "$mark" | tail -1)" = PS9
  check "SIG$signal: the 40 m frequency is saved (got $(line_of "$run/memory.dat" 4))" \
    test "$(line_of "$run/memory.dat" 4)" = FA00007074000
  if [ "$signal" = TERM ]; then
    check "SIGTERM: channel 3 stored by C 3 is saved (got $(line_of "$run/memory.dat" 15))" \
      test "$(line_of "$run/memory.dat" 15)" = 0104FA00007074000FA00007074000
  fi
  check "SIG$signal: no temporary file left" \
    test "$(listing "$run" | tr '\n' ' ')" = "com3 memory.dat orvane.cfg "
done

# --- the save fails: read-only working directory, full disk ---------------------------------------
# make_read_only DIR, make_full DIR: the fault itself, once the panel has started. Without a mount
# namespace: no write permission, and a file size limit of 0 for the panel (limit_files).
limit_files=""
make_read_only() {
  if [ "$ORVANE_E2E_NAMESPACE" = 1 ]; then
    mount --bind "$1" "$1" && mount -o remount,bind,ro "$1"
  elif [ "$(id -u)" -ne 0 ]; then
    chmod a-w "$1"
  else
    echo "FAIL read-only directory: root writes anywhere and no mount namespace can be made here"
    failures=$((failures + 1))
    return 1
  fi
}
fill_disk() {
  dd if=/dev/zero of="$1/filler" bs=4096 2>/dev/null
  ! (echo x >>"$1/filler") 2>/dev/null
}

for fault in read-only full-disk; do
  run="$work/$fault"
  mkdir -p "$run"
  limit_files=""
  if [ "$fault" = full-disk ]; then
    if [ "$ORVANE_E2E_NAMESPACE" = 1 ]; then
      check "full disk: a small tmpfs" mount -t tmpfs -o size=64k orvane-full "$run"
    else
      limit_files=1
    fi
  fi
  new_run "$run" "$config"
  previous_memory >"$run/memory.dat"
  before=$(listing "$run")
  if [ "$fault" = read-only ]; then make_read_only "$run" || continue; fi
  mark=$(radio_mark)
  (
    cd "$run" || exit 1
    # A file size limit of 0 is a full disk for this process: writes fail with EFBIG (SIGXFSZ
    # ignored, as the kernel would otherwise end the process for it).
    if [ -n "$limit_files" ]; then trap '' XFSZ; ulimit -f 0; fi
    exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$orvane" >"$run.out" 2>&1
  ) &
  panel_pid=$!
  heard_new_frequency "$run"
  if [ "$fault" = full-disk ] && [ -z "$limit_files" ]; then
    check "full disk: the tmpfs is full" fill_disk "$run"
    before=$(listing "$run")
  fi
  stop_panel TERM
  check "$fault: exit code 0 (got $panel_status)" test "$panel_status" -eq 0
  check "$fault: the previous memory.dat is whole" cmp -s "$run/memory.dat" <(previous_memory)
  check "$fault: no temporary file left ($(listing "$run" | tr '\n' ' '))" \
    test "$(listing "$run")" = "$before"
  check "$fault: the radio is switched off at the end" \
    test "$(commands_since "$mark" | tail -1)" = PS9
  [ "$ORVANE_E2E_NAMESPACE" = 1 ] && umount "$run"
done

# --- SIGKILL: no shut-down at all ------------------------------------------------------------------
run="$work/KILL"
new_run "$run" "$config"
previous_memory >"$run/memory.dat"
start_panel "$run"
wait_for 100 find_panel_window || echo "note: no panel window"
press c 3
sleep 0.3
stop_panel KILL
check "SIGKILL: the previous memory.dat is whole" cmp -s "$run/memory.dat" <(previous_memory)
check "SIGKILL: no temporary file left" \
  test "$(listing "$run" | tr '\n' ' ')" = "com3 memory.dat orvane.cfg "

if [ "$failures" -ne 0 ]; then
  echo "--- radio.log"; cat radio.log
  for out in "$work"/*.out; do echo "--- $out"; cat "$out"; done
  exit 1
fi
exit 0
