#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every measurement of the panel and prints one table (scripts/bench.sh builds and calls it).
#
#   bench/run.sh BUILD_DIR
#
# ORVANE_BENCH_SECONDS (default 60): length of the idle and poll-cadence run.
# ORVANE_BENCH_KEEP=1 keeps the working directory (traces, logs, sound output) for a look.
#
# Everything runs on one Xvfb display. The idle panel, the bare window and the poll-cadence panel
# run side by side for the same 60 s (each is nearly idle, so they hardly disturb each other, and
# per-process CPU time is their own); the start-ups, the key session and the comparisons with
# espeak-ng and rigctl follow one after another, and last the panel through rigctld.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
source "$repo/tests/lib/checks.sh"

build=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
orvane=$build/orvane
traced=$build/orvane_traced
radiosim=$build/radiosim
kit=$build/benchkit
xkey=$build/bench_xkey
bare=$build/bare_window
for program in "$orvane" "$traced" "$radiosim" "$kit" "$xkey" "$bare"; do
  [ -x "$program" ] || { echo "bench: $program is not built" >&2; exit 1; }
done
for tool in Xvfb xdotool espeak-ng rigctl rigctld fc-match python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is not installed" >&2; exit 1; }
done

seconds=${ORVANE_BENCH_SECONDS:-60}
work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-bench-XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  if [ "${ORVANE_BENCH_KEEP:-0}" = 1 ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

# ---- helpers ------------------------------------------------------------------------------------

now() { "$kit" now; }
note() { echo "bench: $*" >&2; }

# stats: numbers on standard input, one a line -> "N MEDIAN P99 MEAN SD MIN MAX" (nearest rank;
# "0 - - - - - -" for none).
stats() {
  sort -g | awk '{ v[NR] = $1; s += $1; q += $1 * $1 }
    END {
      if (NR == 0) { print "0 - - - - - -"; exit }
      m = s / NR; sd = q / NR - m * m; sd = sd > 0 ? sqrt(sd) : 0
      r = int(0.99 * NR + 0.999999); if (r < 1) r = 1
      printf "%d %.6g %.6g %.6g %.6g %.6g %.6g\n", NR, v[int((NR + 1) / 2)], v[r], m, sd, v[1], v[NR]
    }'
}

# The table: one row per figure, "FIGURE|MEDIAN|P99|TARGET|RESULT".
rows=$work/rows
: >"$rows"
row() { printf '%s|%s|%s|%s|%s\n' "$1" "$2" "$3" "$4" "$5" >>"$rows"; }
section() { printf '%s|||||\n' "$1" >>"$rows"; }
# verdict VALUE OP LIMIT: "met" or "missed" (or "-" without a value).
verdict() {
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
    if (v == "-" || v == "") { print "-"; exit }
    ok = (op == "<" && v + 0 < l + 0) || (op == "<=" && v + 0 <= l + 0)
    print ok ? "met" : "missed" }'
}
fmt() { [ "$2" = - ] && echo - || printf "%.${1}f" "$2"; }

# The process's CPU time in clock ticks (all its threads, also those that have ended).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# One line per live thread: "TID NAME NANOSECONDS".
thread_times() {
  local task
  for task in /proc/"$1"/task/*; do
    printf '%s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")" "$(cut -d' ' -f1 "$task/schedstat")"
  done 2>/dev/null
}
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port_open() { python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null; }
peak_rss_mb() { awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

# radiosim_at DIR: a simulated radio linked as DIR/com3 with its log (monotonic clock) and control
# FIFO in DIR; sets radio_pid.
radiosim_at() {
  local dir=$1
  shift
  "$radiosim" --dir "$dir" --port 3 --baud 9600 --log "$dir/radio.log" --control "$dir/radio.ctl" \
    --log-clock monotonic "$@" 2>"$dir/radiosim.err" &
  radio_pid=$!
  pids+=("$radio_pid")
  wait_for 50 test -L "$dir/com3" || { note "radiosim did not start"; cat "$dir/radiosim.err" >&2; exit 1; }
}

# panel_dir DIR RADIO_DIR CLIPS DEBUG: a working directory for one panel: its configuration, its
# clips and a link com3 to the radio of RADIO_DIR.
panel_dir() {
  mkdir -p "$1"
  printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug %s\r\n' "$4" \
    >"$1/orvane.cfg"
  ln -sfn "$3" "$1/wave"
  [ "$1" = "$2" ] || ln -sfn "$(readlink "$2/com3")" "$1/com3"
}

# Commands in a radio log: "TIME COMMAND" for each command received.
radio_log_commands() { awk '$2 !~ /^[@#]/ { print $1, $2 }' "$1"; }

# When each command has fully arrived at the radio at 9600 baud, 8N2 (11 bits a character): its
# bytes reached the radio's side of the line at the logged time, and go over the line one after
# another. "ARRIVAL COMMAND WAITED" per command, WAITED being the seconds it waited for the bytes
# of earlier commands still on the line.
char_time=$(awk 'BEGIN { printf "%.9f", 11 / 9600 }')
line_arrivals() {
  radio_log_commands "$1" | awk -v c="$char_time" '{
      start = $1 > busy ? $1 : busy; busy = start + (length($2) + 1) * c
      printf "%.6f %s %.6f\n", busy, $2, start - $1 }'
}

# ---- the machine --------------------------------------------------------------------------------

cpu_model=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
cores=$(nproc)
kernel=$(uname -sr)
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
started_at=$(date '+%Y-%m-%d %H:%M')
note "machine: $cpu_model, $cores cores, $kernel, load $load_start"

cd "$work" || exit 1
start_xvfb "$work" || exit 1
pids+=("$xvfb_pid")
export SDL_VIDEODRIVER=x11

# Clips of the real set's lengths whose samples name the clip: the sound output then shows exactly
# where each clip begins and ends. The player treats every sample alike, so the timing is the real
# set's.
"$kit" tagclips "$repo/wave" "$work/tagged" >"$work/tags" || exit 1
tag_of() { awk -v n="$1" '$1 == n { print $2 }' "$work/tags"; }
frames_of() { awk -v n="$1" '$1 == n { print $3 }' "$work/tags"; }
readout=(1 4 point 1 9 5 2 5 mhz)  # 14.195255 MHz

# ---- 1 and 5: idle cost and poll cadence, side by side ------------------------------------------

note "idle cost and poll cadence: ${seconds} s"
mkdir -p idle cadence term netidle
radiosim_at "$work/idle"
idle_radio=$radio_pid
radiosim_at "$work/term"
term_radio=$radio_pid
radiosim_at "$work/netidle"
netidle_radio=$radio_pid
radiosim_at "$work/cadence"
cadence_radio=$radio_pid
panel_dir "$work/idle" "$work/idle" "$repo/wave" 0
panel_dir "$work/cadence" "$work/cadence" "$repo/wave" 1
panel_dir "$work/term" "$work/term" "$repo/wave" 0
panel_dir "$work/netidle" "$work/netidle" "$repo/wave" 0
(cd idle && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$orvane" >panel.out 2>&1) &
idle_pid=$!
pids+=("$idle_pid")
# The poll cadence is taken where the polls enter the line: the panel with timestamps from inside
# notes when each write returned. radiosim's log shows when radiosim got round to reading them,
# which adds radiosim's own wake-up on a busy machine.
(cd cadence && exec env ORVANE_TRACE="$work/cadence/trace" SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE=/dev/null "$traced" >panel.out 2>&1) &
cadence_pid=$!
pids+=("$cadence_pid")
# The idle panel with its rig server on and a client connected that asks nothing, as a logger left
# connected would be; the client connects below, once the panel listens.
netidle_port=$(free_port)
printf 'rig-server 127.0.0.1:%s\n' "$netidle_port" >netidle/settings.cfg
(cd netidle && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$orvane" >panel.out 2>&1) &
netidle_pid=$!
pids+=("$netidle_pid")
# The same idle panel in a terminal of its own (a pseudo-terminal, as a remote shell gives it).
mkfifo term/ctl
(cd term && exec python3 "$repo/tests/term/pty_run.py" --control ctl --screen screen --pid pid -- \
  env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$orvane" --terminal) &
pids+=("$!")
font=$(fc-match -f '%{file}' 'Liberation Sans:bold')
"$bare" "$font" >bare.out 2>&1 &
bare_pid=$!
pids+=("$bare_pid")

# Both panels have started, said their announcement and "connected", and let their sound device
# rest, before the clock starts.
answered() { grep -aq '^RX=FA' cadence/debug.dat 2>/dev/null && [ "$(radio_commands idle/radio.log | grep -cx FA)" -ge 2 ] &&
  [ "$(radio_commands term/radio.log | grep -cx FA)" -ge 2 ]; }
wait_for 100 answered || { note "the panels did not reach their radios"; exit 1; }
wait_for 100 port_open "$netidle_port" || { note "the rig server did not listen"; cat netidle/panel.out >&2; exit 1; }
exec {idle_client}<>"/dev/tcp/127.0.0.1/$netidle_port" || { note "no client connection"; exit 1; }
sleep 6
term_pid=$(cat term/pid)
t0=$(now)
idle_cpu0=$(cpu_ticks "$idle_pid")
netidle_cpu0=$(cpu_ticks "$netidle_pid")
term_cpu0=$(cpu_ticks "$term_pid")
bare_cpu0=$(cpu_ticks "$bare_pid")
thread_times "$idle_pid" >idle/threads0
sleep "$seconds"
t1=$(now)
idle_cpu1=$(cpu_ticks "$idle_pid")
netidle_cpu1=$(cpu_ticks "$netidle_pid")
term_cpu1=$(cpu_ticks "$term_pid")
bare_cpu1=$(cpu_ticks "$bare_pid")
thread_times "$idle_pid" >idle/threads1
idle_rss=$(peak_rss_mb "$idle_pid")
term_rss=$(peak_rss_mb "$term_pid")
bare_rss=$(peak_rss_mb "$bare_pid")
span=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
exec {idle_client}>&-
for pid in "$idle_pid" "$cadence_pid" "$bare_pid" "$term_pid" "$netidle_pid"; do
  kill -TERM "$pid"
done
for pid in "$idle_pid" "$cadence_pid" "$bare_pid" "$netidle_pid"; do wait "$pid"; done
kill -TERM "$idle_radio" "$cadence_radio" "$term_radio" "$netidle_radio"
wait "$idle_radio" "$cadence_radio" "$term_radio" "$netidle_radio"

percent() { awk -v t="$1" -v s="$span" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.3f", 100 * t / hz / s }'; }
idle_pct=$(percent $((idle_cpu1 - idle_cpu0)))
netidle_pct=$(percent $((netidle_cpu1 - netidle_cpu0)))
bare_pct=$(percent $((bare_cpu1 - bare_cpu0)))
term_pct=$(percent $((term_cpu1 - term_cpu0)))
# Per thread, for the threads alive at both ends.
idle_threads=$(join <(sort idle/threads0) <(sort idle/threads1) |
  awk -v s="$span" '{ t[$2] += ($5 - $3) / 1e9 } END { for (n in t) printf "%s %.3f%%, ", n, 100 * t[n] / s }')
idle_main_pct=$(join <(sort idle/threads0) <(sort idle/threads1) |
  awk -v s="$span" -v pid="$idle_pid" '$1 == pid { printf "%.3f", 100 * ($5 - $3) / 1e9 / s }')
tick_pct=$(awk -v hz="$(getconf CLK_TCK)" -v s="$span" 'BEGIN { printf "%.3f", 100 / hz / s }')

# Poll cadence: the polls written to the line within the same time, the same polls as radiosim
# read them, and how many the panel read answers to.
periods() { awk 'NR > 1 { printf "%.6f\n", 1000 * ($1 - last) } { last = $1 }'; }
awk -v a="$t0" -v b="$t1" '$2 == "write" && $1 >= a && $1 <= b && ($4 == "FA;" || $4 == "SM0;") {
  print $1 }' cadence/trace >cadence/polls
periods <cadence/polls >cadence/periods
read -r poll_n poll_med poll_p99 poll_mean poll_sd _ poll_max < <(stats <cadence/periods)
# How late each poll went out against the timer's 50 ms grid, and the ticks that sent no poll
# because the radio's answer to the previous one had not come in yet.
awk 'NR == 1 { first = $1 } { r = (1000 * ($1 - first)) % 50; if (r > 47) r -= 50; late[NR] = r
       if (NR == 1 || r < least) least = r }
     END { for (i = 1; i <= NR; i++) printf "%.3f\n", late[i] - least }' cadence/polls >cadence/late
read -r _ late_med late_p99 _ _ _ late_max < <(stats <cadence/late)
skipped=$(awk '{ n += int($1 / 50 + 0.5) - 1 } END { print n + 0 }' cadence/periods)
radio_log_commands cadence/radio.log |
  awk -v a="$t0" -v b="$t1" '$1 >= a && $1 <= b && ($2 == "FA" || $2 == "SM0") { print $1 }' |
  periods >cadence/radio_periods
read -r _ radio_med radio_p99 radio_mean _ _ radio_max < <(stats <cadence/radio_periods)
polls_sent=$(tr -d '\r' <cadence/debug.dat | grep -cxE 'TX=(FA|SM0);')
answers_read=$(tr -d '\r' <cadence/debug.dat | grep -a '^RX=' | tr -cd ';' | wc -c)
# The last poll is still on its way when the panel ends.
polls_lost=$((polls_sent - answers_read - 1))
[ "$polls_lost" -lt 0 ] && polls_lost=0

# ---- 6: start-up ---------------------------------------------------------------------------------

note "start-up: 8 runs"
mkdir -p startup
radiosim_at "$work/startup"
startup_radio=$radio_pid
: >startup/window
: >startup/written
: >startup/wire
: >startup/sound
for run in 1 2 3 4 5 6 7 8; do
  dir=$work/startup/run$run
  panel_dir "$dir" "$work/startup" "$work/tagged" 0
  mark=$(wc -l <startup/radio.log)
  (cd "$dir" && exec env ORVANE_TRACE="$dir/trace" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null \
    "$kit" exec "$dir/start" "$traced" >"$dir/panel.out" 2>&1) &
  pid=$!
  first_clip() { grep -q ' clip-start' "$dir/trace" 2>/dev/null; }
  wait_for 100 first_clip || note "start-up run $run: no clip started"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  start=$(cat "$dir/start")
  awk -v s="$start" '$2 == "window-open" { printf "%.3f\n", 1000 * ($1 - s); exit }' "$dir/trace" >>startup/window
  awk -v s="$start" '$2 == "write" { printf "%.3f\n", 1000 * ($1 - s); exit }' "$dir/trace" >>startup/written
  tail -n "+$((mark + 1))" startup/radio.log >"$dir/radio.log"
  line_arrivals "$dir/radio.log" |
    awk -v s="$start" '$2 == "MD1" { printf "%.3f\n", 1000 * ($1 - s); exit }' >>startup/wire
  awk -v s="$start" '$2 == "sound-buffer" { b = $3 / $4 }
    $2 == "clip-start" { printf "%.3f\n", 1000 * ($1 - s + b); exit }' "$dir/trace" >>startup/sound
  # radiosim lets go of the exclusive mode that the killed panel left within a quarter second.
  sleep 0.6
done
kill -TERM "$startup_radio"
wait "$startup_radio"

# ---- 2, 3, 4: keys, sound and the readout -------------------------------------------------------

note "keys: key to wire, key to sound, readout"
mkdir -p keys
radiosim_at "$work/keys"
keys_radio=$radio_pid
panel_dir "$work/keys" "$work/keys" "$work/tagged" 0
# SDL's disk driver writes what the device plays. Through a pipe, so that a device opened again
# goes on with the same output instead of starting the file afresh.
(cd keys && exec env ORVANE_TRACE="$work/keys/trace" SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE=/dev/fd/9 "$traced" >panel.out 2>&1 9> >(exec cat >"$work/keys/speech.raw")) &
keys_pid=$!
pids+=("$keys_pid")
window=""
wait_for 100 find_panel_window || { note "the panel window did not appear"; exit 1; }
said_connected() { grep -q 'play .*connected' keys/trace 2>/dev/null; }
wait_for 100 said_connected || { note "the panel did not reach its radio"; exit 1; }
echo "freq 14195255" >keys/radio.ctl
sleep 0.5
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.2
# Right: one step of 100 Hz, one frequency command and no clip.
keys_from=$(now)
"$xkey" Right 100 100 200 >keys/right
echo "freq 14195255" >keys/radio.ctl
sleep 0.5
# F: the mode, then the frequency readout; each press after the previous readout has ended.
"$xkey" f 6 3000 3300 >keys/f
sleep 3
# R: one short clip ("rf"), pressed 30 to 90 ms after the previous answer has ended (the sound
# device is still open) and after a second of quiet (the device has been closed).
rf_ms=$(($(frames_of rf) * 1000 / 22050))
"$xkey" r 15 $((rf_ms + 30)) $((rf_ms + 90)) >keys/r_soon
"$xkey" r 10 $((rf_ms + 1000)) $((rf_ms + 1200)) >keys/r_quiet
sleep 1
kill -TERM "$keys_pid"
wait "$keys_pid"
kill -TERM "$keys_radio"
wait "$keys_radio"

# For each press of KEY (virtual-key code) between the times FROM and TO in the trace: to the
# first write to the port after it, "MS"; to the first clip start after it, "MS MS_WITH_BUFFER":
# when the first sample went to the sound device, and that plus the device's buffer.
key_to() {
  awk -v key="$1" -v what="$2" -v from="${3:-0}" -v to="${4:-1e12}" '
    $2 == "sound-buffer" { buffer = ($4 > 0 ? $3 / $4 : 0) }
    $2 == "key-down" { pressed = ($3 == key && $1 >= from && $1 <= to) ? $1 : ""; next }
    pressed != "" && $2 == what {
      if (what == "write") printf "%.3f\n", 1000 * ($1 - pressed)
      else printf "%.3f %.3f\n", 1000 * ($1 - pressed), 1000 * ($1 - pressed + buffer)
      pressed = "" }' keys/trace
}
# The presses of one run of bench_xkey lie between its first and last timestamps.
first_last() { awk 'NR == 1 { f = $1 } { l = $1 } END { print f - 1, l + 1 }' "$1"; }
key_to 39 write >keys/wire_in_process
key_to 70 clip-start $(first_last keys/f) >keys/sound_f
key_to 82 clip-start $(first_last keys/r_soon) >keys/sound_soon
key_to 82 clip-start $(first_last keys/r_quiet) >keys/sound_quiet

# End to end: each Right press against the frequency command the radio received for it.
line_arrivals keys/radio.log | awk -v from="$keys_from" '$1 >= from && length($2) == 13 && $2 ~ /^FA[0-9]+$/' >keys/fa_arrivals
radio_log_commands keys/radio.log | awk -v from="$keys_from" '$1 >= from && length($2) == 13 && $2 ~ /^FA[0-9]+$/' >keys/fa_logged
paste -d' ' keys/right keys/fa_arrivals | awk 'NF == 4 { printf "%.3f\n", 1000 * ($2 - $1) }' >keys/wire_e2e
paste -d' ' keys/right keys/fa_arrivals | awk 'NF == 4 && $4 > 0 { printf "%.3f\n", 1000 * $4 }' >keys/line_busy
paste -d' ' keys/right keys/fa_logged | awk 'NF == 3 { printf "%.3f\n", 1000 * ($2 - $1) }' >keys/wire_pty
command_line_ms=$(awk -v c="$char_time" 'BEGIN { printf "%.1f", 14 * c * 1000 }')

# The readouts as the sound device played them: stretches of each clip's own sample value.
"$kit" stretches keys/speech.raw >keys/stretches
readout_tags=""
for clip in lsb "${readout[@]}"; do readout_tags+="$(tag_of "$clip") "; done
awk -v want="$readout_tags" -v rate=22050 '
  BEGIN { n = split(want, tag, " ") }
  { start[NR] = $1; len[NR] = $2; val[NR] = $3 }
  END {
    for (i = 1; i + n - 1 <= NR; i++) {
      ok = 1
      for (k = 1; k <= n; k++) if (val[i + k - 1] != tag[k]) { ok = 0; break }
      if (!ok) continue
      for (k = 1; k < n; k++) {
        a = i + k - 1
        printf "gap %.3f\n", 1000 * (start[a + 1] - start[a] - len[a]) / rate
      }
      last = i + n - 1
      printf "total %.4f\n", (start[last] + len[last] - start[i + 1]) / rate
    }
  }' keys/stretches >keys/readouts
clip_sum=0
for clip in "${readout[@]}"; do clip_sum=$((clip_sum + $(frames_of "$clip"))); done
clip_sum_s=$(awk -v f="$clip_sum" 'BEGIN { printf "%.3f", f / 22050 }')

# ---- 4 and 7a: espeak-ng saying the same words -------------------------------------------------

note "espeak-ng"
words=""
for clip in "${readout[@]}"; do
  words+="$(awk -v n="$clip" '$1 == n { $1 = ""; sub(/^ +/, ""); sub(/ *@[0-9]+$/, ""); print; exit }' \
    "$repo/tools/clips/words.txt") "
done
words=${words% }
espeak-ng -w espeak.wav "$words"
read -r espeak_len espeak_first espeak_last < <("$kit" wavspan espeak.wav 100)
espeak_speech=$(awk -v a="$espeak_first" -v b="$espeak_last" 'BEGIN { printf "%.3f", b - a }')
: >espeak_first_sound
for _ in 1 2 3 4 5 6 7; do
  "$kit" first-sound 100 espeak-ng --stdout "$words" | cut -d' ' -f1 >>espeak_first_sound
done

# ---- 7b: rigctl putting one frequency on the wire -----------------------------------------------

note "rigctl"
mkdir -p rig
radiosim_at "$work/rig"
rig_radio=$radio_pid
: >rig/times
rig_failure=""
rig_failures=0
for run in 1 2 3 4 5; do
  # rigctl leaves out a frequency the radio already has, so each run starts from 40 m.
  echo "freq 7100000" >rig/radio.ctl
  sleep 0.2
  mark=$(wc -l <rig/radio.log)
  timeout 15 "$kit" exec rig/start rigctl -m 2014 -r "$work/rig/com3" -s 9600 F 14200000 \
    >rig/out 2>&1
  status=$?
  ended_at=$(now)
  start=$(cat rig/start)
  tail -n "+$((mark + 1))" rig/radio.log >rig/run.log
  arrival=$(line_arrivals rig/run.log | awk '$2 == "FA00014200000" { print $1; exit }')
  if [ "$status" -ne 0 ] || [ -z "$arrival" ]; then
    why=$(grep -v '^$' rig/out | tail -1)
    rig_failure=$(awk -v s="$start" -v e="$ended_at" -v w="$why" -v st="$status" \
      'BEGIN { printf "rigctl: rejected after %.1f s (exit %d: %s)", e - s, st, w }')
    rig_failures=$((rig_failures + 1))
    # A rigctl that cannot drive the radio at all is not tried four times more.
    [ -s rig/times ] || break
    continue
  fi
  awk -v s="$start" -v a="$arrival" 'BEGIN { printf "%.3f\n", 1000 * (a - s) }' >>rig/times
  sleep 0.3
done
kill -TERM "$rig_radio"
wait "$rig_radio"

# ---- 8: the rig server, against rigctld on a radio of its own ----------------------------------

note "rig server: f beside rigctld, F to the wire, eight busy clients"
mkdir -p rigsrv rigref
radiosim_at "$work/rigsrv"
rigsrv_radio=$radio_pid
radiosim_at "$work/rigref"
rigref_radio=$radio_pid
panel_dir "$work/rigsrv" "$work/rigsrv" "$repo/wave" 0
rigsrv_port=$(free_port)
printf 'rig-server 127.0.0.1:%s\n' "$rigsrv_port" >rigsrv/settings.cfg
(cd rigsrv && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$orvane" >panel.out 2>&1) &
rigsrv_pid=$!
pids+=("$rigsrv_pid")
rigref_port=$(free_port)
rigctld -m 2014 -r "$work/rigref/com3" -s 9600 -t "$rigref_port" >rigref/rigctld.out 2>&1 &
rigref_pid=$!
pids+=("$rigref_pid")
polling() { [ "$(radio_commands rigsrv/radio.log | grep -cx FA)" -ge 2 ]; }
wait_for 100 polling || { note "the rig server's panel did not reach its radio"; exit 1; }
wait_for 100 port_open "$rigsrv_port" || { note "the rig server did not listen"; exit 1; }
wait_for 100 port_open "$rigref_port" || { note "rigctld did not listen"; cat rigref/rigctld.out >&2; exit 1; }
for dir in rigsrv rigref; do echo "freq a 14074000" >"$dir/radio.ctl"; done
sleep 1
# Both asked "f" every 0.7 s at the same time, each turning its own radio's knob now and then.
python3 "$here/rig_bench.py" ask "$rigsrv_port" rigsrv/radio.ctl 45 >rigsrv/ask &
ask_panel=$!
python3 "$here/rig_bench.py" ask "$rigref_port" rigref/radio.ctl 45 >rigref/ask &
wait "$ask_panel" $!
# An answer is stale when it is older than the knob turn 0.1 s before the request: by then the
# panel has polled twice and read the answer of one of them.
answer_times() { awk '$1 != "knob" { printf "%.3f\n", 1000 * ($2 - $1) }' "$1"; }
stale_answers() {
  awk '$1 == "knob" { at[++k] = $2; f[k] = $3; next }
    { n++; want = 14074000; for (i = 1; i <= k; i++) if (at[i] <= $1 - 0.1) want = f[i]
      if ($3 + 0 < want) stale++ }
    END { printf "%d of %d\n", stale, n }' "$1"
}
kill -TERM "$rigref_pid"
wait "$rigref_pid" 2>/dev/null
# F requests at random moments: when the frequency command's first byte reached radiosim, and when
# its last had crossed the line behind whatever was on it.
mark=$(wc -l <rigsrv/radio.log)
python3 "$here/rig_bench.py" set "$rigsrv_port" 30 >rigsrv/set
tail -n "+$((mark + 1))" rigsrv/radio.log >rigsrv/set.log
match_sets() {
  awk 'NR == FNR { sent[NR] = $1; want[NR] = sprintf("FA%011d", $2); n = NR; next }
    { t[FNR] = $1; c[FNR] = $2; m = FNR }
    END { j = 1
      for (i = 1; i <= n; i++) {
        while (j <= m && !(t[j] >= sent[i] && c[j] == want[i])) j++
        if (j <= m) printf "%.3f\n", 1000 * (t[j] - sent[i])
      } }' rigsrv/set /dev/stdin
}
radio_log_commands rigsrv/set.log | match_sets >rigsrv/set_first
line_arrivals rigsrv/set.log | match_sets >rigsrv/set_complete
# Eight clients each asking "f" and "m" ten times a second: the polls as radiosim read them.
crowd_t0=$(now)
python3 "$here/rig_bench.py" crowd "$rigsrv_port" 8 30 >rigsrv/crowd
crowd_t1=$(now)
radio_log_commands rigsrv/radio.log |
  awk -v a="$crowd_t0" -v b="$crowd_t1" '$1 >= a && $1 <= b && ($2 == "FA" || $2 == "SM0") { print $1 }' \
  >rigsrv/crowd_polls
kill -TERM "$rigsrv_pid"
wait "$rigsrv_pid"
kill -TERM "$rigsrv_radio" "$rigref_radio"
wait "$rigsrv_radio" "$rigref_radio"
# ---- 10: through Hamlib's rigctld on radiosim --------------------------------------------------

# The same radio through Hamlib's rig server: rigctld -m 2014 (Hamlib's TS-2000 driver) on
# radiosim, and the panel with the setting rig on it. The polls are taken where they reach the
# radio (radiosim's log), the key presses to the frequency command complete at radiosim, as in 2.
note "through rigctld: idle, poll period, key to wire"
hamlib_seconds=${ORVANE_BENCH_HAMLIB_SECONDS:-30}
mkdir -p hamlib
radiosim_at "$work/hamlib"
hamlib_radio=$radio_pid
hamlib_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
rigctld -m 2014 -r "$work/hamlib/com3" -s 9600 -T 127.0.0.1 -t "$hamlib_port" >hamlib/rigctld.out 2>&1 &
rigctld_pid=$!
pids+=("$rigctld_pid")
rig_answers() { rigctl -m 2 -r "127.0.0.1:$hamlib_port" '\dump_caps' >/dev/null 2>&1; }
wait_for 100 rig_answers || { note "rigctld did not answer"; cat hamlib/rigctld.out >&2; exit 1; }
panel_dir "$work/hamlib" "$work/hamlib" "$repo/wave" 1
printf 'rig 127.0.0.1:%s\n' "$hamlib_port" >hamlib/settings.cfg
(cd hamlib && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$orvane" >panel.out 2>&1) &
hamlib_pid=$!
pids+=("$hamlib_pid")
rig_polled() { [ "$(tr -d '\r' 2>/dev/null <hamlib/debug.dat | grep -ac '^RX=FA')" -ge 2 ]; }
wait_for 100 rig_polled || { note "the panel did not reach rigctld"; cat hamlib/panel.out >&2; exit 1; }
sleep 3
h0=$(now)
hamlib_cpu0=$(cpu_ticks "$hamlib_pid")
rigctld_cpu0=$(cpu_ticks "$rigctld_pid")
sleep "$hamlib_seconds"
h1=$(now)
hamlib_cpu1=$(cpu_ticks "$hamlib_pid")
rigctld_cpu1=$(cpu_ticks "$rigctld_pid")
hamlib_span=$(awk -v a="$h0" -v b="$h1" 'BEGIN { print b - a }')
hamlib_percent() {
  awk -v t="$1" -v s="$hamlib_span" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.3f", 100 * t / hz / s }'
}
hamlib_pct=$(hamlib_percent $((hamlib_cpu1 - hamlib_cpu0)))
rigctld_pct=$(hamlib_percent $((rigctld_cpu1 - rigctld_cpu0)))
radio_log_commands hamlib/radio.log |
  awk -v a="$h0" -v b="$h1" '$1 >= a && $1 <= b && $2 == "FA" { print $1 }' | periods >hamlib/fa_periods
radio_log_commands hamlib/radio.log |
  awk -v a="$h0" -v b="$h1" '$1 >= a && $1 <= b && ($2 == "FA" || $2 == "SM0") { print $1 }' |
  periods >hamlib/periods
window=""
wait_for 100 find_panel_window || { note "the panel window did not appear"; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.2
hamlib_from=$(now)
"$xkey" Right 50 100 200 >hamlib/right
sleep 1
kill -TERM "$hamlib_pid"
wait "$hamlib_pid"
kill -TERM "$rigctld_pid" "$hamlib_radio"
wait "$rigctld_pid" "$hamlib_radio"
line_arrivals hamlib/radio.log |
  awk -v from="$hamlib_from" '$1 >= from && length($2) == 13 && $2 ~ /^FA[0-9]+$/' >hamlib/fa_arrivals
paste -d' ' hamlib/right hamlib/fa_arrivals | awk 'NF == 4 { printf "%.3f\n", 1000 * ($2 - $1) }' \
  >hamlib/wire_e2e
hamlib_sets=$(wc -l <hamlib/fa_arrivals)

# ---- the table ----------------------------------------------------------------------------------

load_end=$(cut -d' ' -f1-3 /proc/loadavg)

section "1 Idle: ${seconds} s polling radiosim, no key (CPU of one core; resolution ±${tick_pct} %)"
row "panel, all threads" "${idle_pct} %" "" "< 0.3 %" "$(verdict "$idle_pct" "<" 0.3)"
row "  main thread (others: ${idle_threads%, })" "${idle_main_pct:--} %" "" "" ""
row "bare SDL2 window with one font, same run" "${bare_pct} %" "" "" ""
row "peak resident memory, panel" "${idle_rss} MB" "" "< 20 MB" "$(verdict "$idle_rss" "<" 20)"
row "peak resident memory, bare window" "${bare_rss} MB" "" "" ""
# Within the window's cost, give or take one clock tick of the measurement.
term_limit=$(awk -v w="$idle_pct" -v t="$tick_pct" 'BEGIN { printf "%.3f", w + t }')
row "panel in a terminal (--terminal), same run" "${term_pct} %" "" "<= window" "$(verdict "$term_pct" "<=" "$term_limit")"
row "peak resident memory, panel in a terminal" "${term_rss} MB" "" "< 20 MB" "$(verdict "$term_rss" "<" 20)"
row "panel with its rig server on, one idle client connected, same run" "${netidle_pct} %" "" "< 0.3 %" "$(verdict "$netidle_pct" "<" 0.3)"

read -r n med p99 _ < <(stats <keys/wire_in_process)
section "2 Key to wire (Right: one 14-character frequency command; line time ${command_line_ms} ms)"
row "in process: key event to last byte written (n=$n)" "$(fmt 3 "$med") ms" "$(fmt 3 "$p99") ms" "< 1 ms" "$(verdict "$p99" "<" 1)"
read -r n med p99 _ < <(stats <keys/wire_e2e)
e2e_med=$med
limit=$(awk -v l="$command_line_ms" 'BEGIN { print l + 3 }')
row "end to end: XTEST key to command complete at radiosim (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "<= ${limit} ms" "$(verdict "$p99" "<=" "$limit")"
read -r n med p99 _ < <(stats <keys/wire_pty)
row "  of which key to first byte at radiosim (line time left out)" "$(fmt 2 "$med") ms" "$(fmt 2 "$p99") ms" "<= 3 ms" "$(verdict "$p99" "<=" 3)"
read -r busy_n _ _ _ _ _ busy_max < <(stats <keys/line_busy)
row "  presses that found a poll still on the line, and their longest wait" "$busy_n of $n" "$(fmt 1 "$busy_max") ms" "" ""

buffer_ms=$(awk '$2 == "sound-buffer" { printf "%.1f", ($4 > 0 ? 1000 * $3 / $4 : 0); exit }' keys/trace)
section "3 Key to sound: key event to first sample into the device + its buffer (${buffer_ms} ms)"
read -r n med p99 _ < <(cut -d' ' -f2 keys/sound_soon | stats)
row "R, 30-90 ms after the previous answer (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "< 15 ms" "$(verdict "$p99" "<" 15)"
read -r n med p99 _ < <(cut -d' ' -f2 keys/sound_quiet | stats)
row "R, after 1 s of quiet (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "< 15 ms" "$(verdict "$p99" "<" 15)"
read -r n med p99 _ < <(cut -d' ' -f2 keys/sound_f | stats)
f_heard_med=$med
row "F, 0.5 s after the previous readout (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "< 15 ms" "$(verdict "$p99" "<" 15)"

section "4 Readout of 14.195255 MHz, nine clips (F; SDL disk driver)"
read -r n med p99 _ _ _ max < <(awk '$1 == "gap" { print $2 }' keys/readouts | stats)
row "gap between consecutive clips (n=$n, largest $(fmt 2 "$max") ms)" "$(fmt 2 "$med") ms" "$(fmt 2 "$p99") ms" "< 2 ms" "$(verdict "$max" "<" 2)"
read -r n med _ _ _ _ max < <(awk '$1 == "total" { print $2 }' keys/readouts | stats)
row "total length (n=$n)" "$(fmt 3 "$med") s" "" "<= 2.4 s" "$(verdict "$max" "<=" 2.4)"
row "sum of the nine clips' own lengths" "${clip_sum_s} s" "" "" ""
row "espeak-ng, default rate, same words: speech (file)" "${espeak_speech} s (${espeak_len} s)" "" "" ""

section "5 Poll cadence: ${seconds} s against radiosim, no clip playing"
row "period between polls written to the line (n=$poll_n)" "$(fmt 2 "$poll_med") ms" "$(fmt 2 "$poll_p99") ms" "" ""
row "  mean, jitter (standard deviation)" "$(fmt 2 "$poll_mean") ms" "sd $(fmt 2 "$poll_sd") ms" "50 ± 1 ms" \
  "$(awk -v m="$poll_mean" 'BEGIN { print (m >= 49 && m <= 51) ? "met" : "missed" }')"
row "  longest" "$(fmt 2 "$poll_max") ms" "" "< 60 ms" "$(verdict "$poll_max" "<" 60)"
row "  poll lateness against the 50 ms grid (longest $(fmt 2 "$late_max") ms)" "$(fmt 2 "$late_med") ms" "$(fmt 2 "$late_p99") ms" "" ""
row "  ticks without a poll: the answer to the last one not yet in" "$skipped" "" "" ""
row "the same polls as radiosim read them (mean $(fmt 2 "$radio_mean") ms, longest $(fmt 1 "$radio_max") ms)" \
  "$(fmt 2 "$radio_med") ms" "$(fmt 2 "$radio_p99") ms" "" ""
row "polls answered (whole run, $polls_sent polls)" "$answers_read read" "$polls_lost lost" "none lost" \
  "$([ "$polls_lost" -eq 0 ] && echo met || echo missed)"

section "6 Start-up, from process start (8 runs)"
read -r n med p99 _ < <(stats <startup/window)
row "window shown" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" ""
read -r n med p99 _ < <(stats <startup/written)
row "first start-up command written" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" ""
read -r n med p99 _ < <(stats <startup/wire)
row "  and complete at radiosim" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" ""
read -r n med p99 _ < <(stats <startup/sound)
row "first sample of the announcement + device buffer" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "< 200 ms" "$(verdict "$p99" "<" 200)"

section "7 Side by side, same run"
ratio_of() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.3f", a / b }'; }
read -r n med p99 _ < <(stats <espeak_first_sound)
espeak_med=$med
row "espeak-ng --stdout: start to first non-silent sample out (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" ""
read -r n med p99 _ < <(cut -d' ' -f1 keys/sound_f | stats)
row "panel: F to first sample out to the device (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" ""
ratio=$(ratio_of "$med" "$espeak_med")
row "(a) panel / espeak-ng, first sample out" "$ratio" "" "< 0.2" "$(verdict "$ratio" "<" 0.2)"
ratio=$(ratio_of "$f_heard_med" "$espeak_med")
row "    the same with the panel's device buffer added" "$ratio" "" "" ""
if [ ! -s rig/times ]; then
  row "rigctl -m 2014 F 14200000: start to command complete at radiosim" "-" "" "" "$rig_failure"
  row "(b) panel key to wire (end to end) / rigctl" "-" "" "" "-"
else
  read -r n med p99 _ < <(stats <rig/times)
  row "rigctl -m 2014 F 14200000: start to command complete at radiosim (n=$n)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" \
    "$([ "$rig_failures" -gt 0 ] && echo "$rig_failures of 5 failed: $rig_failure")"
  ratio=$(ratio_of "$e2e_med" "$med")
  row "(b) panel key to wire (end to end) / rigctl" "$ratio" "" "" ""
fi


section "8 Rig server (Hamlib's network protocol) against rigctld -m 2014, each on its own radiosim"
read -r n med p99 _ < <(answer_times rigsrv/ask | stats)
row "panel: f answered, asked every 0.7 s on one connection (n=$n)" "$(fmt 3 "$med") ms" "$(fmt 3 "$p99") ms" "< 1 ms" "$(verdict "$p99" "<" 1)"
stale=$(stale_answers rigsrv/ask)
row "  answers older than a knob turn 0.1 s before the request" "$stale" "" "none" "$([ "${stale%% *}" -eq 0 ] && echo met || echo missed)"
read -r n med p99 _ < <(answer_times rigref/ask | stats)
row "rigctld: f answered, the same way, same time (n=$n)" "$(fmt 3 "$med") ms" "$(fmt 3 "$p99") ms" "" ""
row "  answers older than a knob turn 0.1 s before the request" "$(stale_answers rigref/ask)" "" "" ""
read -r n med p99 _ < <(stats <rigsrv/set_first)
row "panel: F request to first byte at radiosim (n=$n)" "$(fmt 2 "$med") ms" "$(fmt 2 "$p99") ms" "< 2 ms" "$(verdict "$p99" "<" 2)"
limit=$(awk -v l="$command_line_ms" 'BEGIN { print l + 2 }')
read -r n med p99 _ < <(stats <rigsrv/set_complete)
row "  to the command complete at radiosim, behind any poll on the line" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "< ${limit} ms" "$(verdict "$p99" "<" "$limit")"
periods <rigsrv/crowd_polls >rigsrv/crowd_periods
read -r n med p99 mean sd _ max < <(stats <rigsrv/crowd_periods)
row "8 clients asking f and m 10 times a second: poll period at radiosim (n=$n)" "$(fmt 2 "$med") ms" "$(fmt 2 "$p99") ms" "" ""
row "  mean, jitter (standard deviation); longest $(fmt 1 "$max") ms" "$(fmt 2 "$mean") ms" "sd $(fmt 2 "$sd") ms" "50 ± 1 ms" \
  "$(awk -v m="$mean" 'BEGIN { print (m >= 49 && m <= 51) ? "met" : "missed" }')"
crowd_span=$(awk -v a="$crowd_t0" -v b="$crowd_t1" 'BEGIN { printf "%.1f", b - a }')
polls_due=$(awk -v a="$crowd_t0" -v b="$crowd_t1" 'BEGIN { printf "%d", (b - a) / 0.05 }')
row "  polls in radiosim's log over ${crowd_span} s (one per 50 ms tick: $polls_due)" "$(wc -l <rigsrv/crowd_polls)" "" "" ""
read -r asked answered < <(awk '{ a += $2; b += $3 } END { print a + 0, b + 0 }' rigsrv/crowd)
row "  client requests answered" "$answered of $asked" "$((asked - answered)) lost" "none lost" \
  "$([ "$asked" -gt 0 ] && [ "$asked" -eq "$answered" ] && echo met || echo missed)"
# ---- 9: speech: the system's speech service and the clip rate ----------------------------------

note "speech"
section "9 Speech: the system's speech service and the clip rate"
"$repo/bench/speech.sh" "$build" | while IFS='|' read -r figure median p99 target result; do
  row "$figure" "$median" "$p99" "$target" "$result"
done

section "10 Through Hamlib's rigctld -m 2014 on radiosim (the serial line's figures in 1, 2 and 5)"
row "idle: panel connected through rigctld, ${hamlib_seconds} s, no key" "${hamlib_pct} %" "" "< 0.3 %" "$(verdict "$hamlib_pct" "<" 0.3)"
row "  rigctld itself, same time" "${rigctld_pct} %" "" "" ""
read -r n med p99 mean _ _ max < <(stats <hamlib/periods)
row "poll period at the radio, frequency or S-meter (n=$n, mean $(fmt 1 "$mean") ms, longest $(fmt 1 "$max") ms)" "$(fmt 2 "$med") ms" "$(fmt 2 "$p99") ms" "" ""
read -r n med p99 _ < <(stats <hamlib/fa_periods)
row "  the frequency alone, read by rigctld past its own cache (n=$n)" "$(fmt 2 "$med") ms" "$(fmt 2 "$p99") ms" "" ""
read -r n med p99 _ < <(stats <hamlib/wire_e2e)
row "key to wire: XTEST Right to command complete at radiosim (n=$n of 50; ${hamlib_sets} sets)" "$(fmt 1 "$med") ms" "$(fmt 1 "$p99") ms" "" ""
row "  through rigctld / the serial line (2, end to end)" "$(ratio_of "$med" "$e2e_med")" "" "" ""

echo
echo "Orvane benchmarks, $started_at: $cpu_model, $cores cores, $kernel;"
echo "load average $load_start at the start, $load_end at the end."
echo
awk -F'|' '
  { fig[NR] = $1; med[NR] = $2; p99[NR] = $3; tgt[NR] = $4; res[NR] = $5
    if ($2 != "" || $5 != "") if (length($1) > w) w = length($1) }
  END {
    printf "%-" w "s  %14s  %12s  %11s  %s\n", "figure", "median", "p99", "target", "result"
    for (i = 1; i <= NR; i++) {
      if (med[i] == "" && p99[i] == "" && tgt[i] == "" && res[i] == "") { printf "\n%s\n", fig[i]; continue }
      printf "%-" w "s  %14s  %12s  %11s  %s\n", fig[i], med[i], p99[i], tgt[i], res[i]
    }
  }' "$rows"
