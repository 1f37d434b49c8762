#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every key on every model: the real panel, in a terminal of its own, against radiosim playing each
# Kenwood model the panel knows, one panel run per model with a key script.
#   - the radio is asked which it is, and named after "connected" unless it is the TS-2000;
#   - every key sends the model's own form, and the radio refuses none of them (no "?;");
#   - the radio's state afterwards is what the keys meant (read back with catprobe);
#   - the S-meter at S9 and S9+20 on the model's scale reads "9" and "9 plus 20", the SWR at 2:1
#     "2 point 0";
#   - for frequency, mode, split, attenuator, blanker, the gains, power and power-off, the panel's
#     form is the one Hamlib's own backend sends for the same action to the same radiosim
#     (rigctl -m <model number>), a peer written elsewhere as the judge; and rigctl works the model
#     (open, frequency, mode, split, PTT, the levels it has) as it works the TS-2000.
# Where the panel deliberately differs from the installed Hamlib, the difference is named and
# checked to be exactly that one.
#
# usage: e2e_models.sh BUILD_DIR [MODEL...]   (default: every model)
# Set ORVANE_E2E_KEEP=1 to keep the run's directory for a look afterwards.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"

build=$(cd "${1:?usage: e2e_models.sh BUILD_DIR [MODEL...]}" && pwd)
shift
models=("$@")
[ ${#models[@]} -gt 0 ] || models=(ts2000 ts480 ts590s ts590sg ts890s ts990s)
orvane="$build/orvane"
radiosim="$build/radiosim"
catprobe="$build/catprobe"
clip_tags="$build/clip_tags"
need python3 rigctl

e2e_workdir models
source "$here/../lib/panel_runs.sh"
source "$here/../lib/terminal_runs.sh"

# --- what each model is -------------------------------------------------------------------------
# Hamlib's number for it, its identity, and the clip that names it.
declare -A hamlib=([ts2000]=2014 [ts480]=2028 [ts590s]=2031 [ts590sg]=2037 [ts890s]=2041 [ts990s]=2039)
declare -A named=([ts2000]="" [ts480]=ts480 [ts590s]=ts590s [ts590sg]=ts590sg [ts890s]=ts890s
  [ts990s]=ts990s)
# Raw meter readings on the model's own scales: S9, S9+20 (and what that is heard as), and 2:1.
declare -A s9=([ts2000]=27 [ts480]=11 [ts590s]=15 [ts590sg]=15 [ts890s]=35 [ts990s]=35)
declare -A s9plus20=([ts2000]=30 [ts480]=14 [ts590s]=20 [ts590sg]=20 [ts890s]=48 [ts990s]=47)
# The panel's own radio reads its top reading as it always has, without the decibels.
declare -A s9plus20_heard=([ts2000]="s 9 plus" [ts480]="s 9 plus 20" [ts590s]="s 9 plus 20"
  [ts590sg]="s 9 plus 20" [ts890s]="s 9 plus 20" [ts990s]="s 9 plus 20")
declare -A swr2=([ts2000]=6 [ts480]=8 [ts590s]=12 [ts590sg]=12 [ts890s]=23 [ts990s]=17)

# form MODEL ACTION: the command the model takes for the action (the forms of link/radio_models.h,
# written out again here: the test is their second witness).
form() {
  local m=$1
  case $2 in
    attenuator) [ "$m" = ts890s ] && echo RA1 || echo RA01 ;;
    blanker) [ "$m" = ts890s ] && echo NB11 || echo NB1 ;;
    notch) case $m in ts2000 | ts990s) echo NT1 ;; *) echo NT10 ;; esac ;;
    usb) [ "$m" = ts990s ] && echo OM02 || echo MD2 ;;
    cw) [ "$m" = ts990s ] && echo OM03 || echo MD3 ;;
    # W, Up, Up in USB: 2.5 kHz, which the DSP's table does not have, then 2.6 kHz.
    width) case $m in ts2000) echo SH06 ;; ts890s | ts990s) echo BW0250 BW0260 ;; *) echo SH08 ;; esac ;;
    rf) case $m in ts480) echo RG092 ;; ts990s) echo RG0235 ;; *) echo RG235 ;; esac ;;
    af) [ "$m" = ts890s ] && echo AG060 || echo AG0060 ;;
    swr_meter) case $m in ts890s | ts990s) echo RM21 ;; *) echo RM1 ;; esac ;;
    split_on) [ "$m" = ts990s ] && echo TB1 || echo FT1 ;;
    split_off) [ "$m" = ts990s ] && echo TB0 || echo FT0 ;;
    power_off) [ "$m" = ts2000 ] && echo PS9 || echo PS0 ;;
  esac
}

# reads MODEL: what catprobe asks the radio afterwards, and the answers the keys meant.
reads() {
  local m=$1 pa='PA;=PA10;' ra='RA;=RA0100;' nb='NB;=NB1;' mode='MD;=MD2;' af='AG0;=AG0060;'
  local rf='RG;=RG235;' width split='FT;=FT0;'
  case $m in
    ts480) rf='RG;=RG092;' ;;
    ts890s) pa='PA;=PA1;' ra='RA;=RA1;' nb='NB1;=NB11;' af='AG;=AG060;' ;;
    ts990s) ra='RA0;=RA01;' mode='OM0;=OM02;' rf='RG0;=RG0235;' split='TB;=TB0;' ;;
  esac
  case $m in
    ts2000) width='SH;=SH06;' ;;
    ts890s | ts990s) width='BW;=BW0260;' ;;
    *) width='SH;=SH08;' ;;
  esac
  echo "$pa $ra $nb NR;=NR1; NT;=NT10; $mode $af $rf PC;=PC090; $width $split FA;=FA00014200000;"
}

config='port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 1\r\ndebug 1\r\n'
# The band memories' start values, and channel 1: split, USB, 20 m, 14.200 MHz, sending on 14.250.
memory() {
  start_band_memories
  printf '9\r\n1206FA00014200000FA00014250000\r\n'
  printf '9\r\n%.0s' {1..8}
}

control() { echo "$1" >"$work/radio.ctl"; }
heard_now() { "$clip_tags" heard "$run.speech" 2>/dev/null | tr '\n' ' ' | sed 's/ $//'; }
heard_since() { heard_now | cut -c"$(($1 + 1))"-; }
hears() { [[ "$(heard_since "$1")" == *"$2"* ]]; }
# says_after CLIP_COUNT_MARK KEY EXPECTED: the key typed, and the panel says EXPECTED after it.
says_after() {
  local what=$1 key=$2 expected=$3 mark
  mark=$(heard_now | wc -c)
  typed "$run" "$key"
  wait_for 50 hears "$mark" "$expected"
  check "$model: $what: \"$expected\" (heard: $(heard_since "$mark"))" hears "$mark" "$expected"
}
# meter_polled MARK: the panel has asked for a meter twice since MARK, so it holds a fresh reading.
meter_polled() { [ "$(commands_since "$1" | grep -cxE 'SM0?|RM')" -ge 2 ]; }
# meter_set METER VALUE: the radio's meter set through its control FIFO, and the panel's reading
# of it fresh. The FIFO is read when radiosim comes to it, so the polls are counted from the line
# where radiosim logged the setting ("@smeter 15"), never from before it.
meter_set() {
  local mark
  mark=$(radio_mark)
  control "$1 $2"
  applied() { tail -n "+$((mark + 1))" "$work/radio.log" | grep -qx "[0-9.]* @$1 $2"; }
  wait_for 30 applied "$1" "$2"
  mark=$(($(grep -nx "[0-9.]* @$1 $2" "$work/radio.log" | tail -1 | cut -d: -f1) - 1))
  wait_for 30 meter_polled "$mark"
}
refused_since() { tail -n "+$(($1 + 1))" "$work/radio.log" | awk '$2 == "#refused" {print $3}'; }
identified() { grep -aq '^RADIO=' "$run/debug.dat" 2>/dev/null; }

# The part of the radio's log from MARK on, commands only.
hamlib_sends() { commands_since "$1" | tr '\n' ' '; }
# rig NAME COMMAND...: one rigctl on the model's radio; its output in NAME.out, exit code NAME.rc,
# the command in NAME.cmd.
rig() {
  local name=$1
  shift
  echo "$*" >"$run/$name.cmd"
  rigctl -m "${hamlib[$model]}" -r "$work/com3" -s 9600 "$@" >"$run/$name.out" 2>&1 </dev/null
  echo $? >"$run/$name.rc"
}
clean() {
  [ "$(cat "$run/$1.rc")" = 0 ] && ! grep -Eiq 'error|rejected|timed out|failed' "$run/$1.out"
}
says() {
  local name=$1
  shift
  [ "$(head -n $# "$run/$name.out")" = "$(printf '%s\n' "$@")" ]
}
# same_as_hamlib ACTION PANEL_FORM COMMAND...: what rigctl sends for the action holds the panel's
# form; the panel's form was seen on the wire in the panel's run.
same_as_hamlib() {
  local action=$1 panel=$2 mark sent
  shift 2
  mark=$(radio_mark)
  rig "hamlib-$action" "$@"
  sent=$(hamlib_sends "$mark")
  check "$model: $action: the panel's $panel is what Hamlib sends (Hamlib: $sent)" \
    bash -c '[[ " $1 " == *" $2 "* ]] && grep -qx "$2" "$3"' _ "$sent" "$panel" "$run/panel-sent"
}
# differs_from_hamlib ACTION PANEL_FORM HAMLIB_FORM WHY COMMAND...: a difference the panel makes on
# purpose: Hamlib sends exactly HAMLIB_FORM where the panel sends its own.
differs_from_hamlib() {
  local action=$1 panel=$2 theirs=$3 why=$4 mark sent
  shift 4
  mark=$(radio_mark)
  rig "hamlib-$action" "$@"
  sent=$(hamlib_sends "$mark")
  check "$model: $action: the panel sends $panel, Hamlib $theirs ($why; Hamlib: $sent)" \
    bash -c '[[ " $1 " == *" $3 "* ]] && [[ " $1 " != *" $2 "* ]] && grep -qx "$2" "$4"' \
    _ "$sent" "$panel" "$theirs" "$run/panel-sent"
}

mkdir -p wave && "$clip_tags" make wave || exit 1
wave="$work/wave"

# test_model MODEL: the whole story for one model, in a directory of its own (which becomes $work
# for the pieces of the test library), with a radiosim of its own. Run in a subshell: it ends the
# programs it started, and reports with ok and FAIL lines like the rest.
test_model() {
  model=$1
  work="$work/$model"
  run="$work/panel"
  mkdir -p "$run"
  trap 'end_model' EXIT
  "$radiosim" --model "$model" --dir "$work" --port 3 --log "$work/radio.log" \
    --control "$work/radio.ctl" 2>"$work/radiosim.err" &
  radio_pid=$!
  wait_for 50 test -L "$work/com3" || { echo "FAIL $model: radiosim did not start"; exit 1; }
  printf '%b' "$config" >"$run/orvane.cfg"
  memory >"$run/memory.dat"
  ln -s "$(readlink "$work/com3")" "$run/com3"
  ln -s "$wave" "$run/wave"
  control "smeter 0"

  # --- the panel ---------------------------------------------------------------------------------
  cd "$run" || exit 1
  start_panel "$run" xterm -- "$orvane" || exit 1
  wait_for 50 identified
  check "$model: the panel knows the radio ($(grep -a '^RADIO=' "$run/debug.dat" | tr -d '\r'))" \
    identified
  wait_for 30 hears 0 "connected"
  heard=$(heard_now)
  if [ -n "${named[$model]}" ]; then
    wait_for 30 hears 0 "connected ${named[$model]}"
    check "$model: named after \"connected\" (heard: $(heard_now))" hears 0 "connected ${named[$model]}"
  else
    sleep 0.3
    check "$model: the panel's own radio is not named (heard: $(heard_now))" \
      bash -c '[[ "$1" == *connected ]]' _ "$(heard_now)"
  fi
  keys_start=$(radio_mark)

  # The S-meter at S9 and S9+20 on the model's scale.
  meter_set smeter "${s9[$model]}"
  says_after "S-meter at S9 (${s9[$model]})" s "s 9"
  meter_set smeter "${s9plus20[$model]}"
  says_after "S-meter at S9+20 (${s9plus20[$model]})" s "${s9plus20_heard[$model]}"

  # The receiver's functions, the mode, the levels, the frequency, the CW spot.
  key_gives "$run" '\x1bOP' PA1
  key_gives "$run" '\x1bOQ' "$(form "$model" attenuator)"
  key_gives "$run" '\x1bOR' "$(form "$model" blanker)"
  key_gives "$run" '\x1bOS' NR1
  key_gives "$run" '\x1b[15~' "$(form "$model" notch)"
  key_gives "$run" m "$(form "$model" usb)"
  # A choice and its step typed together: the panel takes typed-ahead keys in order. The same key
  # again within 80 ms would count as held, so the second Up comes later.
  mark=$(radio_mark)
  typed "$run" 'w\x1b[A'
  sleep 0.4
  typed "$run" '\x1b[A'
  # shellcheck disable=SC2046
  settle "$mark" "$model: W, Up, Up in USB" $(form "$model" width)
  key_gives "$run" 'r\x1b[B' "$(form "$model" rf)"
  key_gives "$run" 'a\x1b[A' "$(form "$model" af)"
  key_gives "$run" 'p\x1b[B' PC090
  key_gives "$run" 'f=' FA00008100000  # back to the frequency, which = steps
  key_gives "$run" m "$(form "$model" cw)"
  key_gives "$run" '\x1b[17~' SWT28

  # The tuner: a run, then a poor antenna seen on the SWR meter while the panel still tunes.
  mark=$(radio_mark)
  typed "$run" t
  wait_for 50 sent_since "$mark" AC111
  check "$model: T starts the tuner with the SWR meter ($(keys_since "$mark"))" \
    test "$(keys_since "$mark")" = "$(form "$model" swr_meter) AC111"
  sleep 2.2  # the run brings the SWR down and ends
  meter_set swr "${swr2[$model]}"
  says_after "SWR at 2:1 (${swr2[$model]})" s "SWR 2 point 0 21"
  key_gives "$run" t "$(form "$model" swr_meter)" AC110

  # A split channel, and split ended by the band key.
  key_gives "$run" g FA00008100000
  key_gives "$run" 1 FA00014200000 FB00014250000 "$(form "$model" split_on)" PA1 "$(form "$model" usb)"
  key_gives "$run" b "$(form "$model" split_off)"

  refused=$(refused_since "$keys_start" | tr '\n' ' ')
  check "$model: the radio refused none of the keys' commands (refused: ${refused:-none})" \
    test -z "$refused"
  early=$(refused_since 0 | tr '\n' ' ')
  [ -n "$early" ] && echo "note $model: refused before it was named (the start state, sent again in its forms): $early"

  mark=$(radio_mark)
  typed "$run" q
  finish
  cd "$work" || exit 1
  check "$model: Q ends the panel with exit code 0 (got $status)" test "$status" -eq 0
  check "$model: the power-off at exit is $(form "$model" power_off) (got $(keys_since "$mark"))" \
    test "$(keys_since "$mark" | awk '{print $NF}')" = "$(form "$model" power_off)"
  commands_since "$keys_start" >"$run/panel-sent"
  commands_since "$mark" >>"$run/panel-sent"

  # --- the radio's state afterwards, as the keys meant it ----------------------------------------
  probe() { "$catprobe" --dir "$work" --port 3 --count 1 "$@" | awk '{print $2}'; }
  # The panel's last poll may still be answered after it has gone: that answer is read past, and
  # when it arrives in one read with ours (PS0;PS0;), ours is the last.
  power_state() {
    local answer i
    for i in 1 2 3; do
      answer=$(probe 'PS;' | grep -o 'PS[0-9];' | tail -1)
      [ -n "$answer" ] && break
    done
    echo "$answer"
  }
  power_at_end=$(power_state)
  check "$model: switched off at the end ($power_at_end)" test "$power_at_end" = "PS0;"
  probe 'PS1;' >/dev/null
  for pair in $(reads "$model"); do
    ask=${pair%%=*}
    want=${pair#*=}
    got=$(probe "$ask")
    check "$model: the radio holds $want ($ask $got)" test "$got" = "$want"
  done

  # --- Hamlib's backend for the model, on the same radio -----------------------------------------
  control "power on"
  same_as_hamlib frequency FA00008100000 F 8100000
  same_as_hamlib mode "$(form "$model" usb)" M LSB 0 M USB 0
  same_as_hamlib split "$(form "$model" split_on)" S 1 VFOB
  same_as_hamlib split-off "$(form "$model" split_off)" S 0 VFOA
  same_as_hamlib blanker "$(form "$model" blanker)" U NB 1
  case $model in
    ts2000) same_as_hamlib attenuator RA01 L ATT 20 ;;
    ts990s) same_as_hamlib attenuator RA01 L ATT 6 ;;
    ts890s) echo "note $model: attenuator: the installed Hamlib has none for the TS-890S; its newer backend sends RA1 for the first step, as the panel does" ;;
    *) same_as_hamlib attenuator RA01 L ATT 12 ;;
  esac
  if [ "$model" = ts990s ]; then
    differs_from_hamlib rf-gain RG0235 RG235 \
      "the TS-990S's RF gain names its receiver, as Hamlib's own reading of it does" L RF 0.9216
    echo "note $model: AF gain: the installed Hamlib writes no usable AF command for the TS-990S; its reading is AG0, the panel's form"
    same_as_hamlib power PC090 L RFPOWER 0.45
  else
    same_as_hamlib rf-gain "$(form "$model" rf)" L RF 0.9216
    same_as_hamlib af-gain "$(form "$model" af)" l AF L AF 0.2354
    same_as_hamlib power PC090 L RFPOWER 0.9
  fi
  # Hamlib waits for the radio to answer after switching it off, which it cannot: the command on
  # the wire is what counts.
  mark=$(radio_mark)
  echo 'set_powerstat 0' | rigctl -m "${hamlib[$model]}" -r "$work/com3" -s 9600 - \
    >"$run/hamlib-power-off.out" 2>&1 &
  rig_pid=$!
  wait_for 100 sent_since "$mark" PS0
  kill "$rig_pid" 2>/dev/null
  wait "$rig_pid" 2>/dev/null
  sent=$(hamlib_sends "$mark")
  if [ "$model" = ts2000 ]; then
    check "$model: power-off: the panel keeps PS9 for its own radio, Hamlib sends PS0 ($sent)" \
      bash -c '[[ " $1 " == *" PS0 "* ]] && grep -qx PS9 "$2"' _ "$sent" "$run/panel-sent"
  else
    check "$model: power-off: the panel's PS0 is what Hamlib sends ($sent)" \
      bash -c '[[ " $1 " == *" PS0 "* ]] && grep -qx PS0 "$2"' _ "$sent" "$run/panel-sent"
  fi

  # --- rigctl works the model --------------------------------------------------------------------
  control "power on"
  rig set F 7074000 M LSB 0
  rig get f m
  rig split S 1 VFOB
  rig split-read s
  rig ptt T 1
  rig ptt-off T 0
  rig levels L RFPOWER 0.5 l RFPOWER l STRENGTH l RF
  for name in set get split split-read ptt ptt-off levels; do
    check "$model: rigctl $(cat "$run/$name.cmd") works cleanly" clean "$name"
  done
  check "$model: rigctl reads back 7074000 Hz, LSB" says get 7074000 LSB
  check "$model: rigctl reads split on" bash -c 'head -1 "$1" | grep -qx 1' _ "$run/split-read.out"
  check "$model: radiosim was keyed and released ($(awk '$2 == "#transmit" {print $3}' "$work/radio.log" | tr '\n' ' '))" \
    test "$(awk '$2 == "#transmit" {print $3}' "$work/radio.log" | tr '\n' ' ')" = "on off "

  kill -TERM "$radio_pid"
  wait "$radio_pid"
  radio_pid=""
  [ "$failures" -eq 0 ] || show_model
}

# The programs a model's story started, ended in order; its directory stays for the report.
end_model() {
  [ -n "$panel_pid" ] && kill -TERM "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
  extra_cleanup
  [ -n "$radio_pid" ] && kill -TERM "$radio_pid" 2>/dev/null && wait "$radio_pid" 2>/dev/null
}

show_model() {
  echo "--- $model: heard"; "$clip_tags" heard "$run.speech" 2>/dev/null | tr '\n' ' '; echo
  echo "--- $model: radio.log, without the polls"
  awk '$2 !~ /^(FA|FB|SM0?|RM|ID)$/' "$work/radio.log" | tail -80
  echo "--- $model: debug.dat, without the polls"
  tr -d '\r' <"$run/debug.dat" | grep -av -E '^(TX|RX)=(FA|FB|SM0?|RM|ID)' | tail -40
}

# The models side by side: most of each story is the panel speaking in real time and Hamlib
# waiting for answers, so they share the machine well.
for model in "${models[@]}"; do
  if [ -z "${hamlib[$model]:-}" ]; then
    echo "FAIL unknown model $model" >"$work/$model.result"
    continue
  fi
  (test_model "$model") >"$work/$model.result" 2>&1 &
done
wait
for model in "${models[@]}"; do
  cat "$work/$model.result"
  grep -q '^FAIL' "$work/$model.result" && failures=$((failures + 1))
done

[ "$failures" -eq 0 ]
