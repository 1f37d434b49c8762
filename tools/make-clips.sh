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
#   --band LOW[-HIGH]  take out what lies below LOW Hz, and above HIGH Hz when given (default
#                    300; "300-3400" is a telephone band; "none" keeps everything)
#   --compress RATIO compression above -45 dB under each clip's peak (default 3; 1 for none)
#   --level DBFS     every clip at this RMS level, peaks limited (e.g. -16); the default "peak"
#                    sets each clip's peak to -1 dBFS
#   --no-install     do not install a missing engine or sox; fail instead
#
# Every clip is 16-bit signed PCM, mono, 22050 Hz (the format the player opens the sound device
# at, so nothing is converted at run time), trimmed of leading and trailing silence so a readout
# of several clips runs as one phrase, shaped to carry through band noise (below) and
# peak-normalised to -1 dBFS. Own recordings (--own) are shaped the same way. sox runs without dither (-D) and with its repeatable mode (-R): two runs give the same
# bytes, so a regenerated set shows no spurious changes in git.
#
# Why flite "awb" at 140 %, high-passed at 300 Hz and compressed 3:1:
# The readouts are heard over the receiver's own band noise in the same headphones, many times an
# hour, so the clips must be short and must carry through noise. Each candidate was measured with
# bench/intelligibility.sh (30 random readouts, 122 words, seed 1; pocketsphinx on a closed
# grammar of the panel's words; noise set below the speech's active level; the same noise for
# every candidate): word error rate in %, in quiet and with pink noise and receiver band noise at
# 20, 15, 10 and 5 dB SNR, and STOI (x 100) at 15 dB as a second measure that needs no recogniser.
# Rates as in the last round: the readout of 14.195250 MHz near 2.3-2.4 s.
#
#                                       pink noise            band noise         STOI 15 dB
#   candidate                  quiet  20    15    10    5    20    15    10    5   pink band
#   espeak-ng sentences         87.7  47.5  67.2  95.1 117.2  84.4 100.8 110.7 145.1  96.8 97.1
#   awb, the set before         12.3  54.9  88.5  95.9 100.8  41.8  69.7  93.4 110.7  96.5 93.7
#   flite rms 172 %              4.1  40.2  74.6  87.7  96.7  80.3 103.3 112.3 115.6  93.3 87.8
#   flite slt 156 %             19.7  60.7 107.4 113.1  90.2  87.7 113.1 113.1 116.4  93.6 90.2
#   flite kal16 140 %           23.0  32.0  65.6 103.3 114.8  59.0  95.9 118.9 128.7  97.5 96.4
#   festival ked 119 %          43.4  41.8  88.5 107.4 118.9  60.7  73.8  90.2 109.8  98.1 98.1
#   festival slt hts 130 %      39.3  65.6  84.4 113.1 115.6  80.3 103.3 123.8 148.4  95.7 93.4
#   espeak-ng en-us 150 % clips 56.6  18.0  30.3  89.3 121.3  75.4  90.2  97.5 123.0  98.1 98.3
#   awb + band 300-3400         42.6  87.7  96.7 115.6 105.7  96.7 105.7 117.2 113.9  90.7 96.0
#   awb + RMS level -16 dBFS    13.1  46.7  72.1 100.8 100.0  44.3  70.5  87.7 102.5  96.7 94.0
#   awb + compress 3:1          13.1  32.0  52.5  84.4 119.7  42.6  73.0 104.9 124.6  97.2 93.9
#   awb + same, no look-ahead   16.4  44.3  83.6  91.8 100.0  51.6  79.5 104.1 113.9  97.1 94.0
#   awb + compress 5:1 (no l-a) 16.4  54.1  77.9  82.8  98.4  57.4  81.1 104.1 116.4  97.2 93.9
#   awb + compress + RMS level  21.3  35.2  52.5  90.2 105.7  41.0  71.3  96.7 105.7  97.4 94.4
#   awb + treble +6 dB + comp.  18.0  27.0  69.7  82.0  92.6  53.3  85.2 116.4 129.5  97.5 94.7
#   awb + high-pass + comp.(nl) 17.2  27.9  63.9  89.3 101.6  51.6  74.6 100.0 117.2  97.8 96.5
#   rms + compress 3:1           6.6  26.2  56.6  88.5 106.6  59.0 104.1 113.9 123.0  94.8 89.5
#   rms + band, comp., level    18.0  48.4  58.2  73.0 110.7  60.7  72.1  90.2 132.0  96.2 96.7
#   awb + high-pass + comp.     15.6  22.1  32.8  59.0 114.8  29.5  64.8  97.5 125.4  98.1 96.4
#   the same, 50 ms after point 14.8  20.5  29.5  58.2 110.7  30.3  72.1 100.8 133.6  98.1 96.4
#
# (Over 100 %: the recogniser also hears words in the noise around the readout.) One word is
# 0.8 %, and small changes move a figure by 10 points or more at 15 dB and below, where every
# voice is past half its words lost: read the rows as trends. The recogniser hears espeak-ng's
# formant voice badly in quiet, so the quiet column says little about espeak-ng; in noise it is
# the mark to reach. What the figures say: a telephone band limit took the hiss of "s", "f" and
# "z" away from the recogniser (the low-pass; STOI, which looks only up to 4.5 kHz, liked it in
# band noise); an equal RMS level per clip cost accuracy in quiet; compression with look-ahead
# brought awb's consonants up through pink noise, and taking out the rumble below 300 Hz, which
# is level without words, moved that level to the band that is heard. rms is the clearest voice
# in quiet but falls apart in band noise. mbrola voices are not in Debian 12's main archive.
# The chosen set (the last run, with the set before at 13.1 % in quiet in that same run: the
# recogniser's figures move by a word or two between runs) beats espeak-ng at every noise level
# and kind by word errors, and by STOI in pink noise and band noise at 20 dB; at 15 dB and below
# in band noise espeak-ng's STOI stays higher (97.1, 94.7, 90.2 against 96.4, 92.1, 85.5). In
# quiet it loses 2-3 words of 122 against the set before. The 50 ms pause after "point" helped
# in pink noise and hurt in band noise, so the clips stay gapless.
# The processing is in shape() below; an own-voice set (--own) and any --engine get it too.
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
band=300
compress=3
level=peak
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
    --band) band=${2:?}; shift 2 ;;
    --compress) compress=${2:?}; shift 2 ;;
    --level) level=${2:?}; shift 2 ;;
    --no-install) install=0; shift ;;
    -h | --help) usage; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
  esac
done

is_number() { [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]] && awk -v x="$1" 'BEGIN { exit !(x > 0) }'; }
is_number "$rate" || die "--rate wants a positive percentage, not '$rate'"
is_number "$help_rate" || die "--help-rate wants a positive percentage, not '$help_rate'"
is_number "$delay_seconds" || die "--delay wants a positive number of seconds"
[[ $band == none || $band =~ ^[0-9]+(-[0-9]+)?$ ]] || die "--band wants LOW or LOW-HIGH in Hz or none, not '$band'"
[[ $band == none || $band != *-* ]] || awk -v b="$band" 'BEGIN { split(b, f, "-"); exit !(f[1] < f[2] && f[2] < 11025) }' ||
  die "--band wants a low edge below the high one, and the high one below 11025 Hz"
is_number "$compress" && awk -v r="$compress" 'BEGIN { exit !(r >= 1) }' ||
  die "--compress wants a ratio of 1 (none) or more, not '$compress'"
[[ $level == peak || $level =~ ^-[0-9]+([.][0-9]+)?$ ]] ||
  die "--level wants a negative RMS level in dBFS or peak, not '$level'"
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

# to_clip IN OUT: the set's format, silence trimmed at both ends, then shaped for listening under
# band noise (band limit, compression, loudness: see shape).
# The cut is placed by the samples' own level, not by sox's silence effect: that one decides on a
# 20 ms RMS window, so it cut up to 20 ms off the burst of "p" and "t" and the hiss of "s", and
# ended "two" in the middle of its vowel, at -15 dB, with a click. Here a clip runs from the first
# to the last sample louder than -34 dBFS after peak normalisation: above the vocoder noise in the
# engine's pauses (up to about -41 dBFS) and just below the soft "th" of "three". Trimming lower, or
# keeping a few milliseconds of margin, let the recogniser hear a released "t" as an extra "two"
# or "eight" in readouts (word errors 1 % here, 4-8 % with margins or a -38 dBFS threshold).
# The cut comes before the compression, which would lift that vocoder noise into the word.
sox_quiet() { sox -D -R -V1 "$@"; }
to_clip() {
  local normalised="$work/normalised.wav" trimmed="$work/trimmed.wav" bounds first last
  sox_quiet "$1" -b 16 -e signed-integer "$normalised" channels 1 rate -v 22050 norm -1
  bounds=$(sox_quiet "$normalised" -t s16 - | od -An -v -td2 -w2 |
    awk -v t=653 '{ x = $1 < 0 ? -$1 : $1; if (x >= t) { if (first == "") first = NR - 1; last = NR - 1 } }
                  END { print (first == "" ? -1 : first), (last == "" ? -1 : last) }')
  read -r first last <<<"$bounds"
  [ "$first" -ge 0 ] || die "$(basename "$2"): no sound in it (all below -34 dBFS after normalising)"
  sox_quiet "$normalised" "$trimmed" trim "${first}s" "$((last + 1 - first))s"
  shape "$trimmed" "$2"
}

# shape IN OUT: what makes a clip carry through the receiver's noise in the same headphones.
# - Band (--band): a 2-pole high-pass; what lies below 300 Hz adds level but no words. A low-pass
#   (a telephone band, 300-3400 Hz) is there to try, but it cost the recogniser the hiss of "s"
#   and "f" (see the figures above).
# - Compression (--compress): a ratio above -45 dB under the word's peak, 2 ms attack and 40 ms
#   release with 2 ms of look-ahead, so the consonants that tell digits apart ("s" of six and
#   seven, "f" of four and five, "z" of zero, "t" of two and eight) come up towards the vowels
#   instead of drowning first; the look-ahead keeps a word's onset from passing uncompressed.
# - Level (--level): the peak at -1 dBFS, or every clip at one RMS level with sox's limiter on
#   the peaks that would clip (sox's limiter works only on a gain above one; below one nothing
#   can clip).
# A 3 ms fade-in and 5 ms fade-out keep the cut points free of clicks.
shape() {
  local effects=() shaped="$work/shaped.wav" rms gain limiter=()
  [ "$band" = none ] || effects+=(highpass "${band%-*}")
  [[ $band != *-* ]] || effects+=(lowpass "${band#*-}")
  awk -v r="$compress" 'BEGIN { exit !(r > 1) }' &&
    effects+=(compand 0.002,0.04 "6:-70,-70,-45,-45,0,$(awk -v r="$compress" 'BEGIN { printf "%.1f", -45 + 45 / r }')" 0 -90 0.002)
  sox_quiet "$1" "$shaped" "${effects[@]}" norm -1 fade q 0.003 -0 0.005
  if [ "$level" = peak ]; then
    mv "$shaped" "$2"
    return
  fi
  rms=$(sox "$shaped" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }')
  gain=$(awk -v t="$level" -v r="$rms" 'BEGIN { printf "%.5f", 10 ^ ((t - r) / 20) }')
  awk -v g="$gain" 'BEGIN { exit !(g > 1) }' && limiter=(0.05)
  sox_quiet "$shaped" "$2" vol "$gain" amplitude "${limiter[@]}"
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

# A line may end in "@PERCENT", that clip's own speaking rate, for a word the engine clips at
# the set's rate, and in "+MILLISECONDSms", silence kept at the end of the clip, for a word that
# runs into the next one in a readout.
declare -A text_of=() rate_of=() pause_of=()
while IFS= read -r line; do
  [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
  read -r name text <<<"$line"
  while [[ $text =~ ^(.*[^[:space:]])[[:space:]]+(@([0-9]+)|\+([0-9]+)ms)$ ]]; do
    text=${BASH_REMATCH[1]}
    [ -z "${BASH_REMATCH[3]}" ] || rate_of[$name]=${BASH_REMATCH[3]}
    [ -z "${BASH_REMATCH[4]}" ] || pause_of[$name]=${BASH_REMATCH[4]}
  done
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
  if [ -n "${pause_of[$name]:-}" ]; then
    sox_quiet "$dest" "$work/paused.wav" pad 0 "$(awk -v ms="${pause_of[$name]}" 'BEGIN { print ms / 1000 }')"
    mv "$work/paused.wav" "$dest"
  fi
  [ "$name" != delay ] || pad_to "$dest" "$delay_seconds"
done

# Only now is the old set replaced, so a failed run leaves it whole.
mkdir -p "$out"
for f in "$work/set"/*.wav; do
  cp "$f" "$out/.$(basename "$f").new"
  mv "$out/.$(basename "$f").new" "$out/$(basename "$f")"
done
echo "make-clips: ${#names[@]} clips in $out ($engine $voice, rate $rate %, band $band," \
  "compression $compress, level $level, $from_own from own recordings)"
