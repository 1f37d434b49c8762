#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The screenshot a software centre shows (docs/screenshot.png, named in the AppStream metadata) is
# the real window as the panel draws it now: the panel under Xvfb against radiosim, tuned by its
# keys to 14.195 MHz in upper sideband with a steady signal on the S-meter, taken with xwd and
# compared pixel for pixel with the committed picture. ORVANE_UPDATE_SCREENSHOT=1 writes the new
# picture into the source tree instead of comparing.
#
# usage: screenshot.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"

build=$(cd "${1:?usage: screenshot.sh BUILD_DIR}" && pwd)
committed=$(cd "$here/../.." && pwd)/docs/screenshot.png
need Xvfb xdotool xwd convert compare

e2e_workdir screenshot
start_xvfb "$work" || exit 1
start_radiosim "$build/radiosim" "$work" || exit 1
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 1\r\n' >orvane.cfg
mkdir wave && "$build/clip_tags" make wave || exit 1

SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$build/orvane" >panel.out 2>&1 &
panel_pid=$!
wait_for 100 find_panel_window || { echo "FAIL the panel window did not appear"; cat panel.out; exit 1; }
radio_said() { tr -d '\r' 2>/dev/null <debug.dat | grep -q "^RX=$1;*$"; }
wait_for 100 radio_said FA00007100000 || { echo "FAIL the panel never heard the radio"; exit 1; }

echo "smeter 27" >radio.ctl
press e 1 4 period 1 9 5 Return m
# The radio's answers that the picture shows: the new frequency and the signal.
wait_for 100 radio_said FA00014195000 || { echo "FAIL the radio never reported 14.195 MHz"; exit 1; }
wait_for 100 radio_said 'SM0002[0-9]' || { echo "FAIL the S-meter never showed the signal"; exit 1; }

shot() { xwd -id "$window" -silent | convert xwd:- -strip "png:$1"; }
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
# The window is drawn at the tick after each answer; the picture is taken once two shots a poll
# cycle apart agree, so no answer is drawn halfway.
settled() {
  shot shot.png || return 1
  [ -f previous.png ] && [ "$(differing_pixels previous.png shot.png)" = 0 ] && return 0
  mv shot.png previous.png
  return 1
}
wait_for 50 settled || { echo "FAIL the window never settled"; exit 1; }
quit_panel

if [ "${ORVANE_UPDATE_SCREENSHOT:-0}" = 1 ]; then
  cp shot.png "$committed"
  echo "wrote $committed"
  exit 0
fi

check "docs/screenshot.png is the window as the panel draws it now" \
  test "$(differing_pixels "$committed" shot.png)" = 0
if [ "$failures" -ne 0 ]; then
  cp shot.png "$build/screenshot-now.png" 2>/dev/null
  echo "The window now looks like $build/screenshot-now.png ($(differing_pixels "$committed" shot.png)" \
    "pixels differ). If the change is meant, run this test with ORVANE_UPDATE_SCREENSHOT=1 and" \
    "commit docs/screenshot.png."
  exit 1
fi
exit 0
