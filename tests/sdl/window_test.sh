#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main window on a real X server (Xvfb, no window manager): title, place and fixed size, the
# print semantics seen on the screen, repainting after being covered or unmapped, the keyboard as
# virtual-key codes, close requests from the window and from signals, the event wait woken by a
# network client, and finally the frame a window manager (openbox) puts around it.
#
#   window_test.sh PATH/window_probe PATH/send_close_request
set -uo pipefail
# Job control: a background job of a script without it starts with SIGINT ignored, and SDL then
# leaves SIGINT alone. With it, each probe gets the signals a program started from a terminal gets.
set -m

probe=$1
close_request=$2
work=$(mktemp -d)
failures=0
pids=()

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# Waits up to about 10 s for a command to succeed.
eventually() {
  local i
  for i in $(seq 100); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# --- the X server -------------------------------------------------------------------------------
# -noreset: otherwise the server resets when its last client leaves, and a probe connecting at
# that moment loses its display.
Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
has_line() { grep -q . "$1" 2>/dev/null; }
if ! eventually has_line "$work/display"; then
  echo "FAIL: Xvfb did not start"
  cat "$work/xvfb.log"
  exit 1
fi
export DISPLAY=":$(head -1 "$work/display")"
export SDL_VIDEODRIVER=x11

# --- probes ---------------------------------------------------------------------------------------
probe_pid=
# start_probe NAME COMMAND...: starts a probe logging to $work/NAME.log, waits until it is ready.
start_probe() {
  local name=$1
  shift
  "$probe" "$@" >"$work/$name.log" 2>"$work/$name.err" &
  probe_pid=$!
  pids+=("$probe_pid")
  if ! eventually grep -qx ready "$work/$name.log"; then
    fail "probe $name did not get ready"
    cat "$work/$name.log" "$work/$name.err" >&2
    return 1
  fi
}

# find_window TITLE_REGEX: prints the id of the visible window whose title matches.
find_window() {
  local id i
  for i in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# wait_exit PID: waits for the probe to end (at most about 10 s); sets status to its exit status.
status=
wait_exit() {
  local i
  for i in $(seq 100); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      status=$?
      return
    fi
    sleep 0.1
  done
  status=timeout
}

# The client area's top-left corner on the screen.
client_origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x, y}'
}

# shot FILE X Y W H: a screenshot of part of the screen.
shot() {
  xwd -root -silent | convert xwd:- -crop "$4x$5+$2+$3" +repage "$1"
}

# Number of pixels that differ between two images.
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

# Whether an image holds any ink (anything not white).
has_ink() { [ "$(convert "$1" -colorspace gray -format '%[fx:minima]' info:)" != 1 ]; }
no_ink() { ! has_ink "$1"; }

title='*** Velomar Deck v1.9***'
help1='b=Band  f=Freq  e=Entry m=Mode  s=Meter/SWR  Z=Zero frequency  w=Filter width p=Power'
help2='         v=VFO B/Split/Repeater  c=channel save  g=goto channel  a=af gain  r=rfgain  n=Menu Nr.'
help3='        F1=Preamp F2=Attenuator F3=Noise Blanker F4=Noise Reduction F5=Notch  h=help  q=quit'
frequency='   14.200000             '

# --- 1. a bare window: title, place, fixed size; SIGTERM is a close request ---------------------
start_probe bare rss || exit 1
win=$(find_window 'Velomar Deck') || { fail "no visible window titled like the panel"; exit 1; }
check "title is the panel's" [ "$(xdotool getwindowname "$win")" = "$title" ]
geometry=$(xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
  /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}')
check "outer rectangle 950x500 at (350,100), got $geometry" [ "$geometry" = "350 100 950 500" ]
hints=$(xprop -id "$win" WM_NORMAL_HINTS)
check "minimum size 950 by 500" grep -q "minimum size: 950 by 500" <<<"$hints"
check "maximum size 950 by 500 (not resizable, no maximise)" \
  grep -q "maximum size: 950 by 500" <<<"$hints"
echo "figure: resident memory of a bare window: $(awk '/^rss/{print $2}' "$work/bare.log") kB"
kill -TERM "$probe_pid"
wait_exit "$probe_pid"
check "SIGTERM arrives as a close request" grep -qx close "$work/bare.log"
check "and the program ends normally (status $status)" [ "$status" = 0 ]

# --- 1b. the network alone ends the wait: no timer runs, and a client's line is answered ---------
start_probe net listen || exit 1
port=$(awk '/^listening/ { print $2 }' "$work/net.log")
# One line to the probe over TCP, and its answer back.
exchange_line() {
  local sock answer=
  exec {sock}<>"/dev/tcp/127.0.0.1/$port" || return 1
  printf '%s\n' "$1" >&"$sock"
  read -r -t 10 answer <&"$sock"
  exec {sock}>&-
  [ "$answer" = "RPRT 0" ]
}
check "a client's line is answered by a window with no timer running" exchange_line f
check "and a second client's too" exchange_line F
check "both lines reached the window's event loop, in order" \
  [ "$(grep '^net ' "$work/net.log" | tr '\n' ' ')" = "net f net F " ]
kill -TERM "$probe_pid"
wait_exit "$probe_pid"
check "a window watching the network ends normally on SIGTERM (status $status)" [ "$status" = 0 ]

# --- 2. the reference: "LSB " alone at the mode position; SIGINT is a close request --------------
start_probe reference "font Ariel 50 700" "at 50 45" "print LSB " || exit 1
win=$(find_window 'Velomar Deck') || exit 1
read -r ox oy < <(client_origin "$win")
shot "$work/lsb_alone.png" $((ox + 50)) $((oy + 45)) 300 80
kill -INT "$probe_pid"
wait_exit "$probe_pid"
check "SIGINT arrives as a close request and ends the program (status $status)" \
  [ "$(tail -1 "$work/reference.log")" = close -a "$status" = 0 ]
check "the reference shows text" has_ink "$work/lsb_alone.png"

# --- 3. the panel's screen: help lines, "LSB " over "USB ", the frequency -----------------------
start_probe panel "at 190 355" "print $help1" "at 155 380" "print $help2" "at 155 405" \
  "print $help3" "font Ariel 50 700" "at 50 45" "print USB " "at 50 45" "print LSB " \
  "at 285 150" "print $frequency" || exit 1
panel_pid=$probe_pid
win=$(find_window 'Velomar Deck') || exit 1
read -r ox oy < <(client_origin "$win")
mode_shot() { shot "$1" $((ox + 50)) $((oy + 45)) 300 80; }
mode_shot "$work/mode.png"
check "\"LSB \" over \"USB \" leaves exactly \"LSB \" ($(differing_pixels "$work/mode.png" \
  "$work/lsb_alone.png") pixels differ)" [ "$(differing_pixels "$work/mode.png" "$work/lsb_alone.png")" = 0 ]

while read -r _ x y width; do
  check "text printed at ($x,$y), $width px wide, ends inside the window" [ $((x + width)) -le 950 ]
done < <(grep '^print' "$work/panel.log")
echo "figure: frequency line \"$frequency\" in the large font: \
$(awk '/^print 285 150/{print $4}' "$work/panel.log") px wide"
shot "$work/help.png" $((ox + 155)) $((oy + 355)) 795 70
check "the help lines are on the screen" has_ink "$work/help.png"
shot "$work/panel.png" "$ox" "$oy" 950 500

# Covered by another window of the same size, then uncovered: the text comes back unprinted.
start_probe cover --title 'Cover window' || exit 1
cover=$(find_window 'Cover window') || exit 1
mode_shot "$work/covered.png"
check "the covering window hides the text" no_ink "$work/covered.png"
"$close_request" "$cover"
wait_exit "$probe_pid"
check "the covering window closes on its close request" [ "$status" = 0 ]
sleep 0.3
shot "$work/uncovered.png" "$ox" "$oy" 950 500
check "uncovered, the whole window shows the same again ($(differing_pixels "$work/uncovered.png" \
  "$work/panel.png") pixels differ)" [ "$(differing_pixels "$work/uncovered.png" "$work/panel.png")" = 0 ]

# Unmapped (as when minimised) and mapped again.
xdotool windowunmap --sync "$win"
xdotool windowmap --sync "$win"
sleep 0.3
shot "$work/remapped.png" "$ox" "$oy" 950 500
check "unmapped and mapped again, the window shows the same ($(differing_pixels \
  "$work/remapped.png" "$work/panel.png") pixels differ)" \
  [ "$(differing_pixels "$work/remapped.png" "$work/panel.png")" = 0 ]

# --- 4. keys --------------------------------------------------------------------------------------
xdotool windowfocus --sync "$win"
sleep 0.2
# keysym, then the virtual-key codes of the key-downs it must give. F7 (118) ends each key's
# events. A key pressed with its lock: the keypad key that says 1 or End gives 97 with Num Lock
# on and 35 with it off.
keys=(
  "a:65" "Q:16 81" "5:53" "Return:13" "KP_Enter:13" "Page_Up:33" "Page_Down:34" "Left:37"
  "Up:38" "Right:39" "Down:40" "F1:112" "F6:117" "F12:123" "equal:187" "plus:16 187"
  "minus:189" "period:190" "slash:191" "space:32" "Escape:27" "Control_L:17" "F10:" "alt+f:"
  "Alt_L:" "KP_End:35" "KP_Begin:12" "Num_Lock:144" "KP_End:97" "KP_Begin:101" "KP_Insert:96"
  "Num_Lock:144" "KP_End:35"
)
log_has_after() { tail -n +$(($1 + 1)) "$work/panel.log" | grep -q "$2"; }
for entry in "${keys[@]}"; do
  keysym=${entry%%:*}
  expected=${entry#*:}
  before=$(wc -l <"$work/panel.log")
  xdotool key "$keysym" F7
  if ! eventually log_has_after "$before" '^keyup 118$'; then
    fail "key $keysym: no events"
    continue
  fi
  got=$(tail -n +$((before + 1)) "$work/panel.log" | awk '/^keydown 118$/{exit} /^keydown/{print $2}' |
    tr '\n' ' ' | sed 's/ $//')
  check "key $keysym gives key-downs [$expected], got [$got]" [ "$got" = "$expected" ]
done

# --- 5. the close button --------------------------------------------------------------------------
"$close_request" "$win"
wait_exit "$panel_pid"
check "the window's close request arrives as a close request (status $status)" \
  [ "$(tail -1 "$work/panel.log")" = close -a "$status" = 0 ]

# --- 6. under a window manager: its frame is part of the 950x500 ---------------------------------
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
if eventually wm_running; then
  start_probe framed || exit 1
  win=$(find_window 'Velomar Deck') || exit 1
  frame=$(xwininfo -id "$win" -children | awk '/Parent window id/{print $4}')
  # The frame's size settles once the manager has told the window its borders.
  frame_geometry() {
    xwininfo -id "$frame" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
      /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
  }
  frame_is_right() { [ "$(frame_geometry)" = "350 100 950 500" ]; }
  eventually frame_is_right
  check "with a frame, the outer rectangle is still 950x500 at (350,100), got $(frame_geometry)" \
    frame_is_right
  read -r _ _ cw ch < <(xwininfo -id "$win" | awk '/Width:/{w=$NF} /Height:/{h=$NF} END{print 0, 0, w, h}')
  check "the client area shrank to ${cw}x${ch}" [ "$cw" -lt 950 -a "$ch" -lt 500 ]
  check "the window manager offers no maximise and no resize" bash -c \
    "! xprop -id $win _NET_WM_ALLOWED_ACTIONS | grep -qE 'MAXIMIZE|RESIZE'"
  "$close_request" "$win"
  wait_exit "$probe_pid"
  check "framed window closes on its close request (status $status)" [ "$status" = 0 ]
else
  fail "openbox did not start"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; logs:"
  for f in "$work"/*.log "$work"/*.err; do
    echo "--- $f"
    cat "$f"
  done
  exit 1
fi
echo "all window checks passed"
