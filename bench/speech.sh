#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The speech rows of the benchmarks: the panel speaking through speech-dispatcher (espeak-ng as its
# synthesiser) beside the clip set in the same run, and the clip set at a faster pace.
#
#   bench/speech.sh BUILD_DIR
#
# A speech-dispatcher of the run's own speaks through espeak-ng (its generic output module runs
# espeak-ng --stdout for each phrase, which `benchkit heard` reads: when the first sample came, and
# how long the phrase took to say). The panel is orvane_traced, which notes when each key reached
# it and when each clip's first sample went to the sound device. Prints "FIGURE|MEDIAN|P99|TARGET|
# RESULT" rows.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?usage: bench/speech.sh BUILD_DIR}" && pwd)
source "$repo/tests/lib/checks.sh"
source "$repo/tests/speech/speech_service.sh"
kit=$build/benchkit
xkey=$build/bench_xkey
need Xvfb xdotool speech-dispatcher espeak-ng

extra_cleanup() { stop_speechd; }
e2e_workdir bench-speech
stats() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "0 - -"; exit }
    r = int(0.99 * NR + 0.999); printf "%d %.1f %.1f\n", NR, v[int((NR + 1) / 2)], v[r] }'
}

# The clip readout of 14.195255 MHz at 100 %, 200 % and 300 %: the nine clips one after another.
readout=(1 4 point 1 9 5 2 5 mhz)
files=()
for clip in "${readout[@]}"; do files+=("$repo/wave/$clip.wav"); done
for rate in 100 200 300; do
  read -r seconds ms < <("$kit" stretched "$rate" "${files[@]}")
  target="" result=""
  if [ "$rate" = 200 ]; then
    target="<= 1.2 s"
    result=$(awk -v s="$seconds" 'BEGIN { print (s <= 1.2) ? "met" : "missed" }')
  fi
  echo "clip readout of 14.195255 MHz at $rate % (stretching the nine clips: $ms ms)|$seconds s||$target|$result"
done

# speech-dispatcher speaking through espeak-ng: 175 words a minute at its rate 0, 450 at 100 (the
# generic module takes the rate as -1 to 1).
speechd_dir=$work/speechd
start_speechd "$speechd_dir" "GenericExecuteSynth \"espeak-ng --stdout -s \$RATE '\$DATA' | $kit heard 300 >>$speechd_dir/heard.log\"
GenericRateAdd 175
GenericRateMultiply 275
GenericRateForceInteger 1" >/dev/null || exit 1
start_xvfb "$work" >/dev/null || exit 1
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 0\r\n' >orvane.cfg
ln -s "$repo/wave" wave
start_radiosim "$build/radiosim" "$work" || exit 1
echo "freq 14195255" >radio.ctl

# run NAME PANEL_OPTIONS...: the traced panel, F pressed 8 times 3 s apart; writes NAME.keys.
run() {
  local name=$1
  shift
  : >"$speechd_dir/heard.log"
  ORVANE_TRACE="$work/$name.trace" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE=/dev/null "$build/orvane_traced" "$@" >"$name.out" 2>&1 &
  panel_pid=$!
  wait_for 100 find_panel_window || { echo "the panel window did not appear" >&2; exit 1; }
  sleep 2
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  "$xkey" f 8 3000 3300 >"$name.keys"
  sleep 3
  kill -TERM "$panel_pid"
  wait "$panel_pid"
  panel_pid=""
  cp "$speechd_dir/heard.log" "$name.heard"
}
# For each key press, the first sound after it: "MS" (key to first sample), with the phrase's
# length in NAME.lengths.
after_keys() {
  awk 'NR == FNR { key[++n] = $1; next } { heard[++m] = $1; len[m] = $2 }
    END { for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) if (heard[j] > key[i]) {
      printf "%.3f %.3f\n", 1000 * (heard[j] - key[i]), len[j]; break } }' "$1.keys" "$1.heard"
}
run service --speech system
run fastest --speech system --speech-rate=100
run clips
# The clip path: key-down to the first clip's first sample into the device, from the trace.
awk '$2 == "key-down" && $3 == 70 { pressed = $1; next }
  pressed != "" && $2 == "clip-start" { printf "%.3f\n", 1000 * ($1 - pressed); pressed = "" }' \
  clips.trace >clips.first

read -r n med p99 < <(after_keys service | cut -d' ' -f1 | stats)
result=$(awk -v p="$p99" 'BEGIN { print (p == "-") ? "-" : (p < 50) ? "met" : "missed" }')
echo "F to first sample, speech-dispatcher + espeak-ng, default rate (n=$n)|$med ms|$p99 ms|< 50 ms|$result"
read -r n med p99 < <(stats <clips.first)
echo "F to first sample into the device, clip set, same run (n=$n)|$med ms|$p99 ms"
read -r n med _ < <(after_keys service | cut -d' ' -f2 | stats)
echo "readout of 14.195255 MHz (\"U S B, one four point ...\"), default rate (n=$n)|$med s|"
read -r n med _ < <(after_keys fastest | cut -d' ' -f2 | stats)
echo "the same at its fastest (speech-rate 100: espeak-ng at 450 words a minute) (n=$n)|$med s|"
