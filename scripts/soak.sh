#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak: the real panel against the simulated radio under Xvfb for MINUTES (default 30), with random
# keys, random radio faults and a restart every three to five minutes. Reports crashes, sanitizer
# findings, resident memory through each run, and whether memory.dat is whole after each restart
# and holds the channel and band frequency stored just before it.
#
# usage: scripts/soak.sh [MINUTES]
#   ORVANE_SOAK_BUILD=build  the ordinary build instead of the sanitizer build build-asan
#   ORVANE_SOAK_SEED=N       repeat the keys and faults of an earlier soak (it prints its seed)
#   ORVANE_SOAK_KEEP=1       keep the working directory of a clean soak too
#
# The clips are the end-to-end tests' tag clips (20 ms each): the panel speaks synchronously and
# the real clips would keep it talking most of the time, so keys would mostly wait in the queue;
# short clips put many more keys and faults through the panel per minute, and what it said can be
# read back.
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/tests/lib/checks.sh"

minutes=${1:-30}
variant=${ORVANE_SOAK_BUILD:-build-asan}
seed=${ORVANE_SOAK_SEED:-$(( ($$ * 7919 + $(date +%s)) % 1000000 ))}

"$repo/scripts/install-deps.sh" || exit 1
case "$variant" in
  build-asan) options=(-DORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  build) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  *) echo "ORVANE_SOAK_BUILD is build or build-asan, not $variant" >&2; exit 2 ;;
esac
build="$repo/$variant"
cmake -S "$repo" -B "$build" -G Ninja "${options[@]}" >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" --target orvane radiosim clip_tags >/dev/null || exit 1

# ASan keeps freed memory in a quarantine of 256 MB to catch late use of it; the panel frees about
# 1 MB a second (every poll answer reprints the frequency or the S-meter), so its resident memory
# would climb for four minutes and hide any growth of its own. A 16 MB quarantine still holds the
# last quarter of a minute of frees and fills within the first minute of a run.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$repo/tests/sdl/lsan_suppressions.txt:print_suppressions=0

work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-soak-XXXXXX")
xvfb_pid="" radio_pid="" panel_pid=""
cleanup() {
  [ -n "$panel_pid" ] && kill -TERM "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
  [ -n "$radio_pid" ] && kill -TERM "$radio_pid" 2>/dev/null && wait "$radio_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  if [ "$failures" -ne 0 ] || [ "${ORVANE_SOAK_KEEP:-0}" = 1 ]; then
    echo "logs kept in $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
cd "$work" || exit 1

echo "soak: $minutes min on $variant, seed $seed (ORVANE_SOAK_SEED=$seed repeats it)"
RANDOM=$seed
# rand N: a number 0..N-1 in r. Only ever called in this shell: a subshell reseeds RANDOM.
r=0
rand() { r=$(( (RANDOM << 15 | RANDOM) % $1 )); }
pick() { rand $#; shift "$r"; picked=$1; }
pause_ms() { sleep "$(($1 / 1000)).$(printf %03d $(($1 % 1000)))"; }
control() { echo "$*" >radio.ctl; faults=$((faults + 1)); }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$panel_pid/status" 2>/dev/null; }

# --- random keys ----------------------------------------------------------------------------------
# The whole key set but Q; T apart (it locks out every other key while the tuner runs), digits
# twice, and keys without a row of their own (D X I J K L O U Y, space, Escape, the keypad's middle
# key, Shift, Control) that only re-send the frequency.
keys=(a c g e period Return v z F1 F2 F3 F4 F5 F6 h f p r s b w m n slash Up Down Left Right
  Prior Next equal minus 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9
  d x i j k l o u y space Escape KP_Begin Shift_L Control_L)
# What an operator types: a frequency entry, a channel stored or recalled, a band chosen, a level
# stepped, the tuner started and stopped; otherwise keys at random.
key_phrase() {
  local count
  phrase=()
  rand 10
  case $r in
    0) rand 30; phrase=(e $(spell $((r + 1))) period); rand 1000; phrase+=($(spell "$r") Return) ;;
    1) pick c g; phrase=("$picked"); rand 10; phrase+=("$r") ;;
    2) rand 10; phrase=(b "$r") ;;
    3) pick p w r a b; phrase=("$picked"); rand 5
      for ((count = 0; count <= r; count++)); do pick Up Down; phrase+=("$picked"); done ;;
    4) rand 4; [ "$r" -eq 0 ] && phrase=(t s s t) ;;
    *) rand 8
      for ((count = 0; count <= r; count++)); do pick "${keys[@]}"; phrase+=("$picked"); done ;;
  esac
}

type_phrase() {
  key_phrase
  [ ${#phrase[@]} -eq 0 ] && return
  rand 180
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --delay $((r + 20)) "${phrase[@]}" 2>/dev/null
  keys_sent=$((keys_sent + ${#phrase[@]}))
}

# --- random radio faults --------------------------------------------------------------------------
# A fault that lasts (silence, power off, adapter out, slow or damaged answers) is undone after a
# few seconds; undo holds the control line and when it is due.
declare -A undo=()
lasting() { control "$1"; rand $(($3 * 10)); undo[$2]=$((SECONDS + 1 + r / 10)); }
damaged_answers=('FA FA0001420A000;' 'FA FA;' 'FA FA000142000001;' 'FA ?;' 'SM0 SM00099;'
  'SM0 SMXX;' 'FB FB12;' 'RM RM1XX15;' 'FA FA00014200000FA00014200000;')
junk=('\x00\x00FA;' 'FA;' ';;;;' 'SM0000' 'FB12;TX1;' '\xff\xfe\x80;' 'FA00007100000;')
random_fault() {
  rand 16
  case $r in
    0) [ -z "${undo[silent off]:-}" ] && lasting "silent on" "silent off" 8 ;;
    1) [ -z "${undo[power on]:-}" ] && lasting "power off" "power on" 8 ;;
    2) [ -z "${undo[plug]:-}" ] && lasting unplug plug 6 ;;
    3) rand 300; [ -z "${undo[slow 0]:-}" ] && lasting "slow $((r + 20))" "slow 0" 5 ;;
    4) pick "${damaged_answers[@]}"; [ -z "${undo[answer ${picked%% *}]:-}" ] &&
      lasting "answer $picked" "answer ${picked%% *}" 5 ;;
    5) rand 300; control "noise $((r + 1))" ;;
    6) rand 600; control "burst $((r + 20))" ;;
    7) rand 200; control "split $((r + 10))" ;;
    8) pick "${junk[@]}"; control "send $picked" ;;
    9 | 10) rand 52000000; control "freq $((r + 1800000))" ;;
    11) pick a b; rand 30000000; control "freq $picked $((r + 1800000))" ;;
    12 | 13) rand 31; control "smeter $r" ;;
    14) rand 31; control "swr $r" ;;
    15) control "split" ;;
  esac
}
undo_due() {
  local line
  for line in "${!undo[@]}"; do
    if [ "${undo[$line]}" -le "$SECONDS" ] || [ "${1:-}" = all ]; then
      echo "$line" >radio.ctl
      unset "undo[$line]"
    fi
  done
}

# --- the panel's state, as its debug log and its speech tell it -----------------------------------
tuning() { [ "$(grep -a "^TX=AC11" debug.dat | tail -1 | tr -d "\r")" = "TX=AC111;" ]; }
# speech_mark: where the panel's speech has got to, in bytes (whole samples). said_since MARK
# WORDS: whether it has said these clips one after the other since then. Only the new part is read:
# the file grows by 44 kB a second, silence included.
speech_mark() {
  local size
  size=$(stat -c %s speech.raw 2>/dev/null || echo 0)
  echo $((size / 2 * 2))
}
said_since() {
  tail -c "+$(($1 + 1))" speech.raw >speech.new && "$clip_tags" heard speech.new |
    awk -v want="$2" 'BEGIN { n = split(want, w, " ") } { said[NR] = $0 }
      END { for (i = 1; i + n - 1 <= NR; i++) {
              for (j = 1; j <= n && said[i + j - 1] == w[j]; j++);
              if (j > n) exit 0 }
            exit 1 }'
}
# say_until KEYS WORDS TRIES: presses the keys until the panel says these clips.
say_until() {
  local mark i
  for ((i = 0; i < $3; i++)); do
    mark=$(speech_mark)
    press $1
    wait_for 20 said_since "$mark" "$2" && return 0
  done
  return 1
}
# stop_tuning: a tuner run left on locks out every key but T and S, Q included; T is answered
# "nc" until the radio is heard again.
stop_tuning() {
  local i
  for ((i = 0; i < 20; i++)); do tuning || return 0; press t; sleep 0.5; done
  ! tuning
}

# --- one run of the panel -------------------------------------------------------------------------
# The frequency the restart checks: a whole kilohertz in band 1..10 (the band keys' digits), with a
# last digit that is not zero, so that its readout says every kilohertz digit.
band_lows=(0 1810 3500 5351 7000 10100 14000 18068 21000 24890 28000)
band_widths=(0 190 500 15 300 50 350 100 450 100 1700)
band_clips=(- 160 80 60 40 30 20 17 15 12 10)
spell() { echo "$1" | sed 's/./& /g; s/ $//'; }
known_frequency() {
  rand 10; band=$((r + 1))
  rand "${band_widths[$band]}"; khz=$((band_lows[band] + r))
  [ $((khz % 10)) -eq 0 ] && khz=$((khz + 1))
  hz=$((khz * 1000))
  spoken="$(spell $((khz / 1000))) point $(spell "$(printf %03d $((khz % 1000)))") mhz"
}
memory_line() { sed -n "$1p" memory.dat | tr -d '\r'; }
# memory_whole: 21 lines ended by CR LF; eleven band frequencies, then ten channels, each empty
# ("9") or a whole record: split flag, mode, band digits, VFO A and VFO B frequencies.
memory_whole() {
  [ -f memory.dat ] && [ "$(wc -l <memory.dat)" -eq 21 ] && [ -z "$(tail -c 1 memory.dat)" ] &&
    [ "$(sed -n 1,11p memory.dat | grep -cxE $'F[AB][0-9]{11}\r')" -eq 11 ] &&
    [ "$(sed -n 12,21p memory.dat | grep -cxE $'(9|[01][1-5][0-9]{2}(F[AB][0-9]{11}){2})\r')" \
      -eq 10 ]
}
sanitizer_findings() {
  grep -cE 'ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: [A-Za-z]+Sanitizer' "$1"
}

run_panel() {
  local length=$1 started=$SECONDS last_sample=0 crashed="" tuned_at=-1 stop
  keys_sent=0 faults=0 note="" rss_settled=""
  rand 2
  printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch %d\r\ndebug 1\r\n' \
    "$r" >orvane.cfg
  echo "power on" >radio.ctl
  start_speaking_panel "$build" >/dev/null || { crashed="no window"; length=0; }
  [ -z "$crashed" ] && { say_until f mhz 10 || note+=" not-connected-at-start"; }
  rss_start=$(rss_kb)
  while [ -z "$crashed" ] && [ $((SECONDS - started)) -lt "$length" ]; do
    rand 10
    if [ "$r" -lt 6 ]; then type_phrase; elif [ "$r" -lt 8 ]; then random_fault; fi
    rand 10
    if [ "$r" -eq 0 ]; then rand 5000; else rand 800; fi
    pause_ms $((r + 50))
    undo_due
    if [ $((SECONDS - last_sample)) -ge 10 ]; then
      last_sample=$SECONDS
      ended "$panel_pid" && { crashed="died"; break; }
      echo "$run $((SECONDS - started)) $(rss_kb)" >>rss.log
      [ -z "$rss_settled" ] && [ $((SECONDS - started)) -ge 60 ] && rss_settled=$(rss_kb)
      # An operator ends a tuner run within a few seconds; one left on is stopped at the next look.
      if tuning; then [ "$tuned_at" -ge 0 ] && press t; tuned_at=$SECONDS; else tuned_at=-1; fi
    fi
  done

  # The planned restart: the radio back to normal, the tuner off, band D chosen, the knob on a
  # known frequency, its readout heard, channel K stored, then Q (or now and then SIGTERM).
  undo_due all
  responsive="-" stored="-" band_kept="-" whole="-" exit_code="-" rss_end="-"
  if [ -z "$crashed" ] && ! ended "$panel_pid"; then
    stop=Q
    stop_tuning || { note+=" tuner-stuck"; stop=SIGTERM; }
    press 0 # a digit ends a channel key still waiting for one
    known_frequency
    rand 10; channel=$r
    say_until "b $((band % 10))" "${band_clips[$band]} metres" 10 || note+=" no-band-readout"
    echo "freq a $hz" >radio.ctl
    echo "freq b $hz" >radio.ctl
    sleep 0.3
    if say_until f "$spoken" 10; then responsive=ok; else responsive=FAIL; fi
    say_until "c $channel" ok 5 || note+=" no-store-ok"
    rss_end=$(rss_kb)
    rss_end=${rss_end:--}
    rand 4
    [ "$r" -eq 0 ] && stop=SIGTERM
    if [ "$stop" = SIGTERM ]; then kill -TERM "$panel_pid"; else press q; fi
    wait_for 150 ended "$panel_pid" || { crashed="hung at $stop"; kill -KILL "$panel_pid"; }
  elif [ -z "$crashed" ]; then
    crashed="died"
  fi
  wait "$panel_pid"
  exit_code=$?
  panel_pid=""
  [ -n "$crashed" ] || [ "$exit_code" -ne 0 ] && note+=" crash(${crashed:-exit $exit_code})"
  if memory_whole; then whole=yes; else whole=NO; fi
  if [ "$responsive" != "-" ]; then
    [[ "$(memory_line $((12 + channel)))" =~ ^0[1-5][0-9]{2}(FA$(printf '%011d' "$hz")){2}$ ]] &&
      stored=ok || stored=LOST
    [ "$(memory_line "$band")" = "FA$(printf '%011d' "$hz")" ] && band_kept=ok || band_kept=LOST
  fi
  ls | grep -q '^memory\.dat.' && note+=" temporary-file-left"
  mv panel.out "panel-$run.out"
  findings=$(sanitizer_findings "panel-$run.out")
  [ "$findings" -ne 0 ] && note+=" sanitizer"
  growth="-"
  [ -n "$rss_settled" ] && [ "$rss_end" != "-" ] && growth=$((rss_end - rss_settled))
  local took=$((SECONDS - started))
  printf "$row" "$run" "$((took / 60)):$(printf %02d $((took % 60)))" "$keys_sent" "$faults" \
    "${rss_start:-?}" "${rss_settled:--}" "$rss_end" "$growth" "$exit_code" \
    "${stop:--}" "$whole" "$stored" "$band_kept" "$responsive" "$findings" "$note" |
    tee -a report.txt
  echo "$growth $rss_end" >>growth.txt
  local failed=0
  [ -z "$note" ] && [ "$whole$stored$band_kept$responsive" = yesokokok ] || failed=1
  runs_failed=$((runs_failed + failed))
  if [ "$failed" -eq 1 ] || [ "${ORVANE_SOAK_KEEP:-0}" = 1 ]; then
    mv speech.raw "speech-$run.raw"
    mv debug.dat "debug-$run.dat"
  fi
  rm -f speech.raw speech.new
}

# --- the soak -------------------------------------------------------------------------------------
start_xvfb "$work" || exit 1
start_radiosim "$build/radiosim" "$work" || exit 1
deadline=$((SECONDS + minutes * 60))
row='%3s %5s %5s %6s %8s %8s %8s %7s %4s %7s %5s %7s %5s %5s %9s %s\n'
printf "$row" run time keys faults 'RSS kB' 'RSS kB' 'RSS kB' growth exit stop whole channel \
  band heard sanitizer notes | tee report.txt
printf "$row" '' '' '' '' start '1 min' end '' | tee -a report.txt
run=0 runs_failed=0
while [ "$run" -eq 0 ] || [ $((deadline - SECONDS)) -ge 60 ]; do
  run=$((run + 1))
  rand 121
  length=$((180 + r))
  [ $((deadline - SECONDS)) -lt $((length + 60)) ] && length=$((deadline - SECONDS))
  run_panel "$length"
  ended "$radio_pid" && { echo "FAIL radiosim died"; failures=$((failures + 1)); break; }
done

kill -TERM "$radio_pid"
wait "$radio_pid"
radio_status=$?
radio_pid=""
echo
check "radiosim stayed up and ended cleanly (exit code $radio_status)" test "$radio_status" -eq 0
check "radiosim: no sanitizer finding" test "$(sanitizer_findings radiosim.err)" -eq 0
check "nothing malformed on the wire" test -z "$(malformed_commands)"
# Memory: within a run, from the first minute (the allocator's caches and ASan's quarantine
# filled) to the restart; across runs, the resident memory just before each restart. The ordinary
# build stays within a few pages; ASan's allocator keeps spreading over its size classes for
# minutes (about 0.4 MB a minute here, gone at each restart), and real leaks show as LeakSanitizer
# reports at each exit.
limit=512
[ "$variant" = build-asan ] && limit=4096
read -r worst spread < <(awk '$1 != "-" && $1 > worst { worst = $1 } $2 != "-" {
    if (low == "" || $2 < low) low = $2; if ($2 > high) high = $2 }
  END { print worst + 0, high - low }' growth.txt)
check "memory: at most $limit kB growth within a run (worst $worst kB)" test "$worst" -le "$limit"
check "memory: resident memory at the restarts within $limit kB of each other ($spread kB)" \
  test "$spread" -le "$limit"
check "every run: no crash, no sanitizer finding, memory.dat whole, nothing lost, readout heard" \
  test "$runs_failed" -eq 0
if [ "$failures" -eq 0 ]; then
  echo "VERDICT: PASS ($run runs in $minutes min on $variant, seed $seed)"
else
  echo "VERDICT: FAIL ($failures of the checks above, seed $seed, $variant)"
fi
[ "$failures" -eq 0 ]
