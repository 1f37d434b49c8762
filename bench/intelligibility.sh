#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How well the panel's readouts are understood under band noise: the clip set against espeak-ng
# and speech-dispatcher, each mixed with pink noise and with receiver band noise at 20, 15, 10
# and 5 dB signal-to-noise ratio, scored by a speech recogniser (word error rate) and by an
# objective intelligibility index (STOI). Prints one table. Run it on demand; it is no step of the
# tests. Takes 5 to 15 minutes on two cores, more with several clip sets.
#
#   bench/intelligibility.sh [options]
#
#   --clips NAME=DIR   a clip set to measure, as the panel plays it (gapless); repeatable.
#                      DIR "@REV" is wave/ as committed at git revision REV. Default: the
#                      repository's wave/ as "wave".
#   --readouts N       random readouts per voice (default 30)
#   --seed N           the readouts' and the noise's random choices (default 1): the same seed
#                      gives the same readouts and the same noise
#   --no-espeak        leave espeak-ng out
#   --no-dispatcher    leave speech-dispatcher out
#   --keep DIR         keep every mixture as a WAV file in DIR, to listen to
#   --show             print every readout that was heard wrong, with what was heard
#   --jobs N           recogniser processes (default 2)
#
# The readouts: a third frequencies as the panel reads them (the megahertz digits, "point", the
# decimals down to the 10 Hz digit without trailing zeros, "megahertz"), a third S-meter and SWR
# readouts, a third key answers (a toggle and its state, a band, a mode, the power, the filter
# width, a single answer). Each reference transcript is the words of its clips (tools/clips/
# words.txt); espeak-ng and speech-dispatcher are given the same words as one sentence, so all
# voices are scored against the same words. "to" and "two" count as one word: they sound alike.
#
# The noise: the speech's active level is its RMS over the 10 ms frames no more than 15.9 dB
# below that level (as ITU-T P.56 measures it), so pauses do not count; the noise's RMS over the
# whole mixture is set that many dB below it. Pink noise falls 3 dB an octave; band noise is
# white noise through a 300-2700 Hz filter (a receiver's SSB passband) fading slowly, 6 dB deep
# every 3-5 s. Each readout has 0.4 s of noise before and after it, and every voice hears the same
# noise. Speech and noise are mixed at 16 kHz, the recogniser's rate.
#
# The scores: pocketsphinx (US English model) with a JSGF grammar that takes any sequence of the
# panel's words; word error rate = edit distance (substitutions, deletions, insertions) over all
# reference words, so it can pass 100 %. As a cross-check that does not depend on a recogniser,
# STOI (short-time objective intelligibility, computed here from its published definition) of
# each mixture against its clean speech, averaged over the readouts.
#
# speech-dispatcher runs for the run only, from a copy of /etc/speech-dispatcher whose audio goes
# to PulseAudio, and PulseAudio runs for the run only too, on a private socket with a null sink
# whose monitor parec records: no sound card is needed. The module is speech-dispatcher's default
# (espeak-ng on Debian 12).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)

clips=()
readouts=30
seed=1
espeak=1
dispatcher=1
keep=""
show=()
jobs=2
while [ $# -gt 0 ]; do
  case $1 in
    --clips) clips+=("${2:?}"); shift 2 ;;
    --readouts) readouts=${2:?}; shift 2 ;;
    --seed) seed=${2:?}; shift 2 ;;
    --no-espeak) espeak=0; shift ;;
    --no-dispatcher) dispatcher=0; shift ;;
    --keep) keep=${2:?}; shift 2 ;;
    --show) show=(--show); shift ;;
    --jobs) jobs=${2:?}; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '/^set -euo/d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "intelligibility: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
[ ${#clips[@]} -gt 0 ] || clips=("wave=$repo/wave")

packages=(sox espeak-ng pocketsphinx pocketsphinx-en-us python3-pocketsphinx python3-numpy
  python3-scipy)
[ "$dispatcher" -eq 0 ] || packages+=(speech-dispatcher speech-dispatcher-espeak-ng pulseaudio
  pulseaudio-utils)
"$repo/scripts/install-deps.sh" "${packages[@]}" >&2

work=$(mktemp -d /tmp/orvane-intelligibility.XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A committed clip set: "@REV" is wave/ at that revision.
args=()
for entry in "${clips[@]}"; do
  name=${entry%%=*} dir=${entry#*=}
  if [[ $dir == @* ]]; then
    mkdir -p "$work/rev-$name"
    git -C "$repo" archive "${dir#@}" wave | tar -x -C "$work/rev-$name"
    dir="$work/rev-$name/wave"
  fi
  [ -d "$dir" ] || { echo "intelligibility: no clip directory $dir" >&2; exit 2; }
  args+=(--clips "$name=$dir")
done
[ "$espeak" -eq 1 ] || args+=(--no-espeak)

# wait_for WHAT COMMAND...: up to 20 s for COMMAND to succeed.
wait_for() {
  local what=$1 i
  shift
  for i in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "intelligibility: $what did not come up (logs in $work)" >&2
  trap - EXIT
  exit 1
}

if [ "$dispatcher" -eq 1 ]; then
  export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
  mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$work/speechd" "$work/logs"
  chmod 700 "$XDG_RUNTIME_DIR"
  export PULSE_SERVER="unix:$work/run/pulse.sock"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --log-target="file:$work/logs/pulseaudio.log" \
    -L "module-native-protocol-unix socket=$work/run/pulse.sock auth-anonymous=1" \
    -L "module-null-sink sink_name=orvane_capture rate=22050 channels=1" &
  pids+=($!)
  wait_for "PulseAudio" pactl info
  cp -r /etc/speech-dispatcher/. "$work/speechd/"
  printf '\nAudioOutputMethod "pulse"\n' >>"$work/speechd/speechd.conf"
  export SPEECHD_ADDRESS="unix_socket:$work/run/speechd.sock"
  speech-dispatcher -s -t 0 -c unix_socket -S "$work/run/speechd.sock" -C "$work/speechd" \
    -L "$work/logs" -P "$work/speechd.pid" >"$work/logs/speechd.out" 2>&1 &
  pids+=($!)
  wait_for "speech-dispatcher" test -S "$work/run/speechd.sock"
  module=$(sed -n 's/^ *DefaultModule *//p' "$work/speechd/speechd.conf" | tail -1)
  export ORVANE_SPD_MODULE=${module:-default module}
  args+=(--dispatcher)
fi

[ -z "$keep" ] || args+=(--keep "$keep")
/usr/bin/python3 "$here/intelligibility.py" --words "$repo/tools/clips/words.txt" \
  --readouts "$readouts" --seed "$seed" --jobs "$jobs" "${show[@]}" "${args[@]}"
