#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The speech rows of the benchmarks: the panel speaking through speech-dispatcher (espeak-ng as its
# synthesiser) beside the clip set in the same run, and the clip set at a faster pace.
#
#   bench/speech.sh BUILD_DIR
#
# As a station runs: a speech-dispatcher of the run's own with its espeak-ng output module
# (sd_espeak-ng, which keeps the synthesiser loaded) playing to PulseAudio, and a PulseAudio of the
# run's own, on a private socket, whose only sink is a null sink. parec records that sink's monitor
# into `benchkit sounds`, which stamps the arrival of each sound's first loud sample. The panel
# (orvane_traced, which notes when each key reached it and when it handed a phrase to the service)
# plays its clips through SDL's PulseAudio driver into the same sink, so both paths are timed from
# the key to the first sample out of the sound server, the same way. Prints "FIGURE|MEDIAN|P99|
# TARGET|RESULT" rows.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?usage: bench/speech.sh BUILD_DIR}" && pwd)
source "$repo/tests/lib/checks.sh"
source "$repo/tests/speech/speech_service.sh"
kit=$build/benchkit
xkey=$build/bench_xkey
need Xvfb xdotool speech-dispatcher pulseaudio parec pactl

capture_pid=""
pulse_pid=""
extra_cleanup() {
  stop_speechd
  [ -z "$capture_pid" ] || { kill "$capture_pid" 2>/dev/null; wait "$capture_pid" 2>/dev/null; }
  [ -z "$pulse_pid" ] || { kill "$pulse_pid" 2>/dev/null; wait "$pulse_pid" 2>/dev/null; }
}
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

# PulseAudio of the run's own with one null sink, and the recorder on its monitor: 5 ms fragments,
# so a sound is stamped within about 5 ms of the server mixing it.
export XDG_RUNTIME_DIR="$work/run" HOME="$work/home" PULSE_SERVER="unix:$work/run/pulse.sock"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  --log-target="file:$work/pulseaudio.log" \
  -L "module-native-protocol-unix socket=$work/run/pulse.sock auth-anonymous=1" \
  -L "module-null-sink sink_name=orvane_capture rate=22050 channels=1" &
pulse_pid=$!
wait_for 100 pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start" >&2; exit 1; }
parec -d orvane_capture.monitor --raw --format=s16le --rate=22050 --channels=1 --latency-msec=5 |
  "$kit" sounds 300 22050 700 >"$work/sounds.log" &
capture_pid=$!

# speech-dispatcher as Debian sets it up, with espeak-ng, its default module, playing to PulseAudio.
# espeak-ng speaks 170 words a minute at rate 0 and 449 at 100 (modules/espeak-ng.conf).
speechd_dir=$work/speechd
mkdir -p "$speechd_dir/log"
cp -r /etc/speech-dispatcher/modules "$speechd_dir/"
cat >"$speechd_dir/speechd.conf" <<CONF
CommunicationMethod "unix_socket"
SocketPath "$speechd_dir/sock"
LogLevel 3
LogDir "$speechd_dir/log"
AudioOutputMethod "pulse"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
DefaultLanguage "en"
CONF
speech-dispatcher --run-daemon --timeout 0 --config-dir "$speechd_dir" \
  --pid-file "$speechd_dir/pid" >"$speechd_dir/speechd.out" 2>&1 </dev/null
export SPEECHD_ADDRESS="unix_socket:$speechd_dir/sock"
wait_for 100 test -s "$speechd_dir/pid" || { echo "speech-dispatcher did not start" >&2; exit 1; }
speechd_pid=$(cat "$speechd_dir/pid")
start_xvfb "$work" >/dev/null || exit 1
printf 'port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\ndebug 0\r\n' >orvane.cfg
ln -s "$repo/wave" wave
start_radiosim "$build/radiosim" "$work" || exit 1
echo "freq 14195255" >radio.ctl

# run NAME PANEL_OPTIONS...: the traced panel, F pressed 8 times 6 s apart (each readout over before
# the next key: a phrase cut by the next one leaves no quiet to tell them apart); writes NAME.keys and
# NAME.sounds (what the sink played while the panel ran).
run() {
  local name=$1 before
  shift
  before=$(wc -l <"$work/sounds.log")
  ORVANE_TRACE="$work/$name.trace" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=pulseaudio \
    "$build/orvane_traced" "$@" >"$name.out" 2>&1 &
  panel_pid=$!
  wait_for 100 find_panel_window || { echo "the panel window did not appear" >&2; exit 1; }
  sleep 2
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  "$xkey" f 8 6000 6300 >"$name.keys"
  sleep 3
  kill -TERM "$panel_pid"
  wait "$panel_pid"
  panel_pid=""
  sleep 1
  tail -n +$((before + 1)) "$work/sounds.log" >"$name.sounds"
}
# For each key press, the first sound after it: "MS LENGTH" (key to first sample, in ms, and the
# sound's length in seconds).
after_keys() {
  awk 'NR == FNR { key[++n] = $1; next } { heard[++m] = $1; len[m] = $2 }
    END { for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) if (heard[j] > key[i]) {
      printf "%.3f %.3f\n", 1000 * (heard[j] - key[i]), len[j]; break } }' "$1.keys" "$1.sounds"
}
# The panel's own part through the service: key-down (as the panel got it) to the phrase handed
# over, and the call's return; "KEY_TO_SAY SAY_CALL" in ms, from the trace.
panel_part() {
  awk '$2 == "key-down" && $3 == 70 { pressed = $1; next }
    pressed != "" && $2 == "say" { said = $1; next }
    pressed != "" && said != "" && $2 == "said" {
      printf "%.3f %.3f\n", 1000 * (said - pressed), 1000 * ($1 - said); pressed = ""; said = "" }' \
    "$1.trace"
}
# The service's part: the phrase handed over to its first sample out of the sound server, in ms.
service_part() {
  awk 'NR == FNR { if ($2 == "say") say[++n] = $1; next } { heard[++m] = $1 }
    END { for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) if (heard[j] > say[i]) {
      printf "%.3f\n", 1000 * (heard[j] - say[i]); break } }' "$1.trace" "$1.sounds"
}
run service --speech system
run fastest --speech system --speech-rate=100
run clips

read -r n med p99 < <(after_keys service | cut -d' ' -f1 | stats)
result=$(awk -v p="$p99" 'BEGIN { print (p == "-") ? "-" : (p < 50) ? "met" : "missed" }')
echo "F to first sample out of PulseAudio, speech-dispatcher + sd_espeak-ng, default rate (n=$n)|$med ms|$p99 ms|< 50 ms|$result"
read -r n med p99 < <(panel_part service | cut -d' ' -f1 | stats)
echo "  of which the panel: key-down to the phrase handed over (n=$n)|$med ms|$p99 ms"
read -r n med p99 < <(panel_part service | cut -d' ' -f2 | stats)
echo "  of which the panel: spd_say's round trip, on the worker (n=$n)|$med ms|$p99 ms"
read -r n med p99 < <(service_part service | stats)
echo "  of which the service: phrase handed over to first sample out (n=$n)|$med ms|$p99 ms"
read -r n med p99 < <(after_keys clips | cut -d' ' -f1 | stats)
echo "F to first sample out of PulseAudio, clip set, same run (n=$n)|$med ms|$p99 ms"
read -r n med _ < <(after_keys service | cut -d' ' -f2 | stats)
echo "readout of 14.195255 MHz (the mode, \"one four point ...\"), default rate (n=$n)|$med s|"
read -r n med _ < <(after_keys fastest | cut -d' ' -f2 | stats)
echo "the same at its fastest (speech-rate 100: espeak-ng at 449 words a minute) (n=$n)|$med s|"
# ORVANE_BENCH_KEEP=DIR keeps the keys, sounds and traces of the runs for a closer look.
[ -z "${ORVANE_BENCH_KEEP:-}" ] || cp -- *.keys *.sounds *.trace "$ORVANE_BENCH_KEEP/"
