#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Generates the panel's clip set: one WAV file for every clip name the panel can play.
#
#   tools/make-clips.sh [options]
#   orvane-make-clips [options]      the same, installed with the panel
#
#   --engine NAME    flite (default), espeak-ng or festival
#   --voice NAME     the engine's voice: flite awb (default), rms, slt, kal16; espeak-ng a voice
#                    such as en-us, en-gb, en-us+klatt or mb-us1 (an MBROLA voice, from the
#                    mbrola-us1 package); festival a voice such as cmu_us_slt_arctic_hts,
#                    kal_diphone or ked_diphone
#   --lang LANG      language (default en). flite and the festival voices named above speak
#                    English only; espeak-ng uses LANG as its voice when no --voice is given.
#                    Give a translated word list with --words for another language.
#   --rate PERCENT   speaking rate of the clips, in percent of the engine's normal pace
#                    (default 140: brisk, see below)
#   --help-rate PERCENT  speaking rate of the spoken help (default 100: it is listened to, not
#                    glanced at)
#   --out DIR        where the set goes (default: wave/ of this repository; installed, wave/ in
#                    the working directory: run it in a station directory, and the station has
#                    a voice of its own, which the panel prefers to the installed set)
#   --own DIR        the operator's own recordings. A file there named like a clip ("7.wav",
#                    "Power.wav"; any letter case; also .flac, .ogg, .aiff, .au) always replaces
#                    the generated clip, after conversion to the set's format.
#   --words FILE     what each clip says (default tools/clips/words.txt)
#   --help-text FILE the spoken help, one key a line (default tools/clips/help.txt)
#   --delay SECONDS  length of the "delay" clip, the pause the radio gets after switching on
#                    (default 1.5)
#   --no-install     do not install a missing engine or sox; fail instead
#
# Every clip is 16-bit signed PCM, mono, 22050 Hz (the format the player opens the sound device
# at, so nothing is converted at run time), trimmed of leading and trailing silence so a readout
# of several clips runs as one phrase, and peak-normalised to -1 dBFS so every clip is equally
# loud. sox runs without dither (-D) and with its repeatable mode (-R): two runs give the same
# bytes, so a regenerated set shows no spurious changes in git.
#
# Why flite with the voice "awb" at 140 %:
# The readout "1 4 point 1 9 5 2 5 megahertz" is heard many times an hour, so the clips must be
# short, and a digit must never be mistaken for another. Each candidate was set to the rate at
# which that readout takes about 2.4 s, processed as below, and scored by a speech recogniser
# (pocketsphinx, US English model) on 56 clip texts one at a time (closed set) and on 20 random
# readouts made of the clips themselves (180 words), clean and with pink noise mixed in at 2, 5
# and 10 % of full scale, the way band noise sits under the panel's voice. Word errors in the
# readouts (with noise: two different sets of readouts):
#
#   voice                  rate   readout  single words  clean   2 %        5 %        10 %
#   flite awb              140 %  2.26 s   54/56          1.1 %  1.7-2.8 %  1.7-4.4 %   9-14 %
#   flite rms              172 %  2.43 s   56/56          1.1 %  2.2-4.4 %  8.3-12 %   23-29 %
#   flite slt              156 %  2.39 s   52/56          3.3 %  0.6 %      6.1 %      17-21 %
#   festival ked_diphone   119 %  2.26 s   51/56          3.9 %  5.0 %      4.4-5.6 %   7.2 %
#   espeak-ng en-us        149 %  2.40 s   32/56         42 %   12-17 %     6.1-6.7 %   2.2-2.8 %
#
# festival kal_diphone, flite kal16, festival cmu_us_slt_arctic_hts and espeak-ng en-gb made
# 11-49 % word errors on clean readouts in a first round and were dropped. awb (a Scottish English
# male voice, clustergen) is the most reliable from quiet to moderate noise, and its natural pace
# is already quick, so it needs the least time compression to fit the budget. espeak-ng's formant
# voice cuts through heavy noise best but is the furthest from natural speech; an operator who
# listens under a lot of noise can regenerate with "--engine espeak-ng --voice en-us --rate 150".
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)

engine=flite
voice=""
lang=en
rate=140
help_rate=100
out="$repo/wave"
own=""
words="$here/clips/words.txt"
help_text="$here/clips/help.txt"
delay_seconds=1.5
install=1
vocabulary="$repo/speech/vocabulary.h"
# Installed as bin/orvane-make-clips, the word lists and the panel's clip names are in
# share/orvane/clips, and the set goes to the station in the working directory.
installed_data="$repo/share/orvane/clips"
if [ ! -f "$vocabulary" ] && [ -f "$installed_data/vocabulary.h" ]; then
  words="$installed_data/words.txt"
  help_text="$installed_data/help.txt"
  vocabulary="$installed_data/vocabulary.h"
  out="$PWD/wave"
fi

usage() { sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '/^set -euo/d; /SPDX-License-Identifier/d; s/^# \{0,1\}//'; }
die() { echo "make-clips: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
    --engine) engine=${2:?}; shift 2 ;;
    --voice) voice=${2:?}; shift 2 ;;
    --lang) lang=${2:?}; shift 2 ;;
    --rate) rate=${2:?}; shift 2 ;;
    --help-rate) help_rate=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    --own) own=${2:?}; shift 2 ;;
    --words) words=${2:?}; shift 2 ;;
    --help-text) help_text=${2:?}; shift 2 ;;
    --delay) delay_seconds=${2:?}; shift 2 ;;
    --no-install) install=0; shift ;;
    -h | --help) usage; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
  esac
done

is_number() { [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]] && awk -v x="$1" 'BEGIN { exit !(x > 0) }'; }
is_number "$rate" || die "--rate wants a positive percentage, not '$rate'"
is_number "$help_rate" || die "--help-rate wants a positive percentage, not '$help_rate'"
is_number "$delay_seconds" || die "--delay wants a positive number of seconds"
[ -f "$words" ] || die "no word list at $words"
[ -f "$help_text" ] || die "no help text at $help_text"
[ -f "$vocabulary" ] || die "no clip vocabulary at $vocabulary"
[ -z "$own" ] || [ -d "$own" ] || die "no directory of own recordings at $own"

case $engine in
  flite)
    voice=${voice:-awb}
    [[ $lang == en* ]] || die "flite speaks English only; try --engine espeak-ng --lang $lang"
    engine_command=flite engine_packages=(flite) ;;
  espeak-ng)
    voice=${voice:-$lang}
    engine_command=espeak-ng engine_packages=(espeak-ng)
    [[ $voice != mb-* ]] || engine_packages+=("mbrola-${voice#mb-}") ;;
  festival)
    voice=${voice:-cmu_us_slt_arctic_hts}
    engine_command=text2wave engine_packages=(festival)
    case $voice in
      cmu_us_slt_arctic_hts) engine_packages+=(festvox-us-slt-hts) ;;
      kal_diphone) engine_packages+=(festvox-kallpc16k) ;;
      ked_diphone) engine_packages+=(festvox-kdlpc16k) ;;
    esac ;;
  *) die "unknown engine $engine (flite, espeak-ng or festival)" ;;
esac

# The speech engine is only needed here, never by the panel or its tests, so it is installed on
# demand rather than listed with the panel's build dependencies.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$install" -eq 1 ] || die "missing packages: ${missing[*]}"
  echo "make-clips: installing ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
ensure_packages sox "${engine_packages[@]}"
command -v "$engine_command" >/dev/null || die "$engine_command not found after installing"

# speak TEXT RATE OUT: the engine's raw output, in whatever format the engine writes.
speak() {
  local text=$1 pct=$2 wav=$3
  local stretch
  stretch=$(awk -v r="$pct" 'BEGIN { printf "%.4f", 100 / r }')
  case $engine in
    flite) flite -voice "$voice" --setf duration_stretch="$stretch" -t "$text" -o "$wav" ;;
    espeak-ng)
      espeak-ng -v "$voice" -s "$(awk -v r="$pct" 'BEGIN { printf "%d", 175 * r / 100 }')" \
        -w "$wav" -- "$text" ;;
    festival)
      # Diphone voices follow Duration_Stretch; HTS voices take their own speed factor.
      printf '%s\n' "$text" | text2wave -o "$wav" -eval "(voice_$voice)" \
        -eval "(Parameter.set 'Duration_Stretch $stretch)" \
        -eval "(if (and (boundp 'hts_engine_params) hts_engine_params)
                   (set! hts_engine_params
                         (append hts_engine_params (list (list \"-r\" (/ 1.0 $stretch))))))" ;;
  esac >/dev/null
}

# to_clip IN OUT: the set's format, peak-normalised to -1 dBFS, silence trimmed at both ends.
# The cut is placed by the samples' own level, not by sox's silence effect: that one decides on a
# 20 ms RMS window, so it cut up to 20 ms off the burst of "p" and "t" and the hiss of "s", and
# ended "two" in the middle of its vowel, at -15 dB, with a click. Here a clip runs from the first
# to the last sample louder than -34 dBFS: above the vocoder noise in the engine's pauses (up to
# about -41 dBFS after normalising) and just below the soft "th" of "three". Trimming lower, or
# keeping a few milliseconds of margin, let the recogniser hear a released "t" as an extra "two"
# or "eight" in readouts (word errors 1 % here, 4-8 % with margins or a -38 dBFS threshold).
# A 3 ms fade-in and 5 ms fade-out keep the cut points free of clicks.
sox_quiet() { sox -D -R -V1 "$@"; }
to_clip() {
  local normalised="$work/normalised.wav" bounds first last
  sox_quiet "$1" -b 16 -e signed-integer "$normalised" channels 1 rate -v 22050 norm -1
  bounds=$(sox_quiet "$normalised" -t s16 - | od -An -v -td2 -w2 |
    awk -v t=653 '{ x = $1 < 0 ? -$1 : $1; if (x >= t) { if (first == "") first = NR - 1; last = NR - 1 } }
                  END { print (first == "" ? -1 : first), (last == "" ? -1 : last) }')
  read -r first last <<<"$bounds"
  [ "$first" -ge 0 ] || die "$(basename "$2"): no sound in it (all below -34 dBFS after normalising)"
  sox_quiet "$normalised" "$2" trim "${first}s" "$((last + 1 - first))s" fade q 0.003 -0 0.005
}

# pad_to OUT SECONDS: silence added at the end up to SECONDS; a longer clip is left as it is.
pad_to() {
  local length
  length=$(soxi -D "$1")
  awk -v l="$length" -v t="$2" 'BEGIN { exit !(l < t) }' || return 0
  sox_quiet "$1" "$1.tmp.wav" pad 0 "$2" trim 0 "$2"
  mv "$1.tmp.wav" "$1"
}

# own_recording NAME: the operator's recording for this clip file, if there is one.
own_recording() {
  [ -n "$own" ] || return 1
  local stem=${1%.wav} f base
  for f in "$own"/*; do
    [ -f "$f" ] || continue
    base=$(basename "$f")
    case ${base,,} in
      "${stem,,}".wav | "${stem,,}".flac | "${stem,,}".ogg | "${stem,,}".aiff | "${stem,,}".au)
        printf '%s\n' "$f"; return 0 ;;
    esac
  done
  return 1
}

file_name() { case $1 in *.*) printf '%s\n' "$1" ;; *) printf '%s.wav\n' "$1" ;; esac; }

# The vocabulary is read from the panel's own list so that the set and the program cannot drift.
mapfile -t names < <(sed -n '/kClipVocabulary/,/});/{s:^\s*//.*$::;p}' "$vocabulary" | grep -o '"[^"]*"' | tr -d '"')
[ ${#names[@]} -gt 0 ] || die "no clip names found in $vocabulary"

# A line may end in "@PERCENT": that clip's own speaking rate, for a word the engine clips at
# the set's rate.
declare -A text_of=() rate_of=()
while IFS= read -r line; do
  [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
  read -r name text <<<"$line"
  if [[ $text =~ ^(.*[^[:space:]])[[:space:]]+@([0-9]+)$ ]]; then
    text=${BASH_REMATCH[1]}
    rate_of[$name]=${BASH_REMATCH[2]}
  fi
  [ -n "$text" ] || die "$words: no text for $name"
  text_of[$name]=$text
done <"$words"

for name in "${names[@]}"; do
  [ "$name" = help.wav ] || [ -n "${text_of[$name]:-}" ] || die "$words has no text for clip '$name'"
done
known=" ${names[*]} "
for name in "${!text_of[@]}"; do
  [[ $known == *" $name "* ]] || die "$words names '$name', which the panel never plays"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/set"

# make_help OUT: each help line spoken on its own, joined by a short pause, so every key
# is heard as its own sentence whatever the engine makes of the punctuation.
make_help() {
  local parts=() i=0 line
  sox_quiet -n -r 22050 -c 1 -b 16 -e signed-integer "$work/gap.wav" trim 0 0.35
  while IFS= read -r line; do
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    i=$((i + 1))
    speak "$line" "$help_rate" "$work/help-$i.raw.wav"
    to_clip "$work/help-$i.raw.wav" "$work/help-$i.wav"
    [ ${#parts[@]} -eq 0 ] || parts+=("$work/gap.wav")
    parts+=("$work/help-$i.wav")
  done <"$help_text"
  [ ${#parts[@]} -gt 0 ] || die "$help_text has no lines to speak"
  sox_quiet "${parts[@]}" "$1"
}

from_own=0
for name in "${names[@]}"; do
  file=$(file_name "$name")
  dest="$work/set/$file"
  [ ! -e "$dest" ] || continue # "on" and "on.wav" are one file
  if recording=$(own_recording "$file"); then
    to_clip "$recording" "$dest"
    from_own=$((from_own + 1))
  elif [ "$name" = help.wav ]; then
    make_help "$dest"
  else
    speak "${text_of[$name]}" "${rate_of[$name]:-$rate}" "$work/raw.wav"
    to_clip "$work/raw.wav" "$dest"
  fi
  [ "$name" != delay ] || pad_to "$dest" "$delay_seconds"
done

# Only now is the old set replaced, so a failed run leaves it whole.
mkdir -p "$out"
for f in "$work/set"/*.wav; do
  cp "$f" "$out/.$(basename "$f").new"
  mv "$out/.$(basename "$f").new" "$out/$(basename "$f")"
done
echo "make-clips: ${#names[@]} clips in $out ($engine $voice, rate $rate %, $from_own from own recordings)"
