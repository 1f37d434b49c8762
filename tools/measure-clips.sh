#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures a clip set: each clip's length, peak and RMS level, and how long the panel takes to
# speak a typical frequency readout ("1 4 point 1 9 5 2 5 megahertz", 14.195250 MHz) built from
# the clips, against the time espeak-ng takes to say the same as one sentence at its default rate.
#
#   tools/measure-clips.sh [DIR]      (DIR defaults to wave/ of this repository)
#
# Exits non-zero when a clip is missing, silent, or the readout is over budget.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$repo/wave}
vocabulary="$repo/speech/vocabulary.h"
# espeak-ng -w, default rate: "fourteen point one nine five two five megahertz"
budget=3.06
readout=(1 4 point 1 9 5 2 5 mhz)

command -v sox >/dev/null || { echo "measure-clips: needs sox (apt-get install sox)" >&2; exit 2; }
[ -d "$dir" ] || { echo "measure-clips: no clip directory $dir" >&2; exit 2; }

file_name() { case $1 in *.*) printf '%s\n' "$1" ;; *) printf '%s.wav\n' "$1" ;; esac; }
# "Pk lev dB" and "RMS lev dB" of sox's stats, as "peak rms".
levels() {
  sox "$1" -n stats 2>&1 | awk '/^Pk lev dB/ { p = $4 } /^RMS lev dB/ { r = $4 } END { print p, r }'
}

mapfile -t names < <(sed -n '/kClipVocabulary/,/});/{s:^\s*//.*$::;p}' "$vocabulary" |
  grep -o '"[^"]*"' | tr -d '"' | awk '!seen[$0]++')

faults=0
declare -A length_of=()
printf '%-12s %8s %8s %8s\n' clip seconds 'peak dB' 'rms dB'
for name in "${names[@]}"; do
  f="$dir/$(file_name "$name")"
  if [ ! -f "$f" ]; then
    printf '%-12s MISSING\n' "$name"
    faults=$((faults + 1))
    continue
  fi
  length=$(soxi -D "$f")
  read -r peak rms < <(levels "$f")
  length_of[$name]=$length
  note=""
  if awk -v p="$peak" 'BEGIN { exit !(p == "-inf" || p < -20) }'; then
    note="  SILENT?"
    faults=$((faults + 1))
  fi
  printf '%-12s %8.3f %8s %8s%s\n' "$name" "$length" "$peak" "$rms" "$note"
done

total=0
for name in "${readout[@]}"; do
  total=$(awk -v t="$total" -v l="${length_of[$name]:-0}" 'BEGIN { printf "%.3f", t + l }')
done
printf '\nreadout %s: %.3f s (budget %.2f s, aim 2.5 s)\n' "${readout[*]}" "$total" "$budget"
printf 'clip set: %s files, %s\n' "$(find "$dir" -maxdepth 1 -name '*.wav' | wc -l)" \
  "$(du -sh "$dir" | cut -f1)"
if awk -v t="$total" -v b="$budget" 'BEGIN { exit !(t > b) }'; then
  echo "measure-clips: readout over budget" >&2
  faults=$((faults + 1))
fi
[ "$faults" -eq 0 ]
