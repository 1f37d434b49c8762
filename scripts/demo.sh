#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and starts the panel against the simulated radio. The demo runs in demo/ (made
# fresh from the repository's clip set each time); press Q in the panel's window to quit. Without
# a desktop (no DISPLAY or WAYLAND_DISPLAY) the panel runs in this terminal instead.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target orvane radiosim

front_end=()
where="in the panel's window"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  if [ ! -t 0 ]; then
    echo "The panel needs a desktop or a terminal to run in (no DISPLAY is set, and standard" \
      "input is not a terminal)." >&2
    exit 1
  fi
  front_end=(--terminal)
  where="here, in this terminal"
fi

mkdir -p demo
cd demo
ln -sfn "$repo/wave" wave
# Port 3 (the simulated radio links demo/com3), 9600 baud, 100 W, the SWR framed once, stepping up
# to 70 cm, no power switching, debug log on so the exchange can be read in demo/debug.dat.
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' \
  >orvane.cfg

# The S-meter drifts like a band with signals on it; "smeter N" on the control FIFO holds it still.
"$repo/build/radiosim" --dir . --port 3 --baud 9600 --drift --log radio.log --control radio.ctl &
radio=$!
trap 'kill -TERM "$radio" 2>/dev/null; wait "$radio" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -L com3 ] && break; sleep 0.1; done

cat <<TEXT
The simulated radio is on demo/com3; its S-meter drifts like a band with signals. Its log is
demo/radio.log. Turn its knob from another terminal, in the repository's directory:
  echo "freq 7074000" > demo/radio.ctl    the VFO goes to 7.074 MHz (press F to hear it)
  echo "smeter 27" > demo/radio.ctl       a steady S9 signal (press S); "drift on" lets it wander
  echo "swr 12" > demo/radio.ctl          a poor antenna for the tuner (T, then S, then T)
Keys, $where: F frequency, B band, M mode, S meter, T tune, H help, Q quit.
TEXT
"$repo/build/orvane" "${front_end[@]}"
