#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# orvane-station on a made-up set of serial devices (ORVANE_DEVICES_ROOT): the listing, the station
# directory with its configuration and its link, files it must never change, and the sentences that
# tell the operator what is wrong.
#
# usage: station_test.sh SOURCE_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

source_dir=$(cd "${1:?usage: station_test.sh SOURCE_DIR}" && pwd)
station="$source_dir/tools/station/orvane-station"

work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-station-XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work" || exit 1

# Two USB adapters, one of them with a lasting name, a USB modem-class radio, and two of the
# computer's own ports, of which only ttyS0 has a UART behind it.
root="$work/root"
mkdir -p "$root/dev/serial/by-id" "$root/sys/class/tty/ttyS0" "$root/sys/class/tty/ttyS1"
for d in ttyUSB0 ttyUSB1 ttyACM0 ttyS0 ttyS1; do : >"$root/dev/$d"; done
chmod 666 "$root"/dev/tty*
by_id="$root/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"
ln -s ../../ttyUSB0 "$by_id"
echo 4 >"$root/sys/class/tty/ttyS0/type"
echo 0 >"$root/sys/class/tty/ttyS1/type"
export ORVANE_DEVICES_ROOT=$root

# run NAME ARGS...: orvane-station's output in NAME.out and its exit status in NAME.status.
run() {
  local name=$1
  shift
  "$station" "$@" >"$name.out" 2>&1
  echo $? >"$name.status"
}
status_of() { cat "$1.status"; }
said() { grep -Fxq -- "$2" "$1.out"; }
link_of() { readlink "$1"; }
line_of() { sed -n "$2p" "$1"; }

run list --list
expected_list="Serial devices found on this computer:
$by_id, a lasting name for $root/dev/ttyUSB0
$root/dev/ttyUSB1
$root/dev/ttyACM0
$root/dev/ttyS0, a serial port of the computer itself"
check "the list: lasting names first, each device once, only ports with a UART" \
  test "$(cat list.out)" = "$expected_list"

# A station for the adapter, named by its kernel name: the link takes the lasting name.
run new --port 12 --speed 115200 st "$root/dev/ttyUSB0"
check "new station: exit status 0" test "$(status_of new)" = 0
check "configuration made with port 12 at 115200 bit/s" \
  test "$(line_of st/orvane.cfg 1)|$(line_of st/orvane.cfg 2)" = "port12|speed 115200"
check "the other five lines are the example's" \
  test "$(sed -n '3,$p' st/orvane.cfg)" = "$(sed -n '3,$p' "$source_dir/tools/station/orvane.cfg")"
check "com12 leads to the lasting name" test "$(link_of st/com12)" = "$by_id"
check "it says where the link leads" said new "st/com12 leads to $by_id, which is $root/dev/ttyUSB0 now."
check "it says the device may be used" said new "You may use $root/dev/ttyUSB0."
check "no memory file is made" test ! -e st/memory.dat

# Again with the other adapter, which has no lasting name: the link moves, the files stay.
printf 'port 7\r\nspeed 4800\r\n' >st/orvane.cfg
printf 'FA00014200000\r\n' >st/memory.dat
cp st/orvane.cfg cfg.before
cp st/memory.dat memory.before
run again st "$root/dev/ttyUSB1"
check "again: exit status 0" test "$(status_of again)" = 0
check "the existing configuration is left byte for byte" cmp -s st/orvane.cfg cfg.before
check "the existing memory file is left byte for byte" cmp -s st/memory.dat memory.before
check "it says so" said again "st/orvane.cfg is there already and is left as it is."
check "and for the memory file" said again "st/memory.dat is there already and is kept."
check "the link takes the port the existing configuration names (com7)" \
  test "$(link_of st/com7)" = "$root/dev/ttyUSB1"
check "it warns that a name without a lasting one may change" said again \
  "$root/dev/ttyUSB1 has no lasting name under /dev/serial/by-id, so it may get another name when it is plugged in again; run orvane-station again then."

# Without a device: the configuration, then the list.
run bare bare
check "no device: exit status 0" test "$(status_of bare)" = 0
check "no device: the configuration is made" test "$(line_of bare/orvane.cfg 1)" = "port 1"
check "no device: no link" test -z "$(find bare -name 'com*')"
check "no device: the list follows" bash -c "grep -Fxq -- '$by_id, a lasting name for $root/dev/ttyUSB0' bare.out"

# Things in the way.
run missing gone "$root/dev/ttyUSB9"
check "a missing device: exit status 1, nothing made" \
  test "$(status_of missing)" = 1 -a ! -e gone
check "a missing device: it says so" said missing \
  "There is no device $root/dev/ttyUSB9. Check the name with: orvane-station --list"
mkdir -p blocked
: >blocked/com1
run blocked blocked "$root/dev/ttyUSB0"
check "a file where the link belongs is left, exit status 1" \
  test "$(status_of blocked)" = 1 -a -f blocked/com1 -a ! -L blocked/com1
printf 'port x\n' >noport.cfg
mkdir -p noport && cp noport.cfg noport/orvane.cfg
run noport noport "$root/dev/ttyUSB0"
check "a configuration without a port number: no link, exit status 1" \
  test "$(status_of noport)" = 1 -a -z "$(find noport -name 'com*')"

# A radio of another make, through Hamlib's rigctld: the model by name or number, the setting,
# and a station that already has settings of its own.
need rigctl rigctld
mkdir -p icom && printf 'rig-server on\nrig old:1\n' >icom/settings.cfg
run icom --speed 19200 --hamlib ic-7300 "$root/dev/ttyUSB0" icom
check "hamlib: exit status 0" test "$(status_of icom)" = 0
check "hamlib: the model by its name, the device by its lasting name, the speed given" \
  test "$(cat icom/hamlib.cfg)" = "model 3073
device $by_id
speed 19200"
check "hamlib: the rig line replaced, the station's other setting kept" \
  test "$(cat icom/settings.cfg)" = "rig-server on
rig 127.0.0.1:4533"
check "hamlib: an orvane.cfg for the panel, and no serial link of its own" \
  test -f icom/orvane.cfg -a -z "$(find icom -name 'com*')"
check "hamlib: it says how to start" said icom "Start the panel with: orvane-station --start icom"
run bynumber --hamlib 2014 "$root/dev/ttyUSB1" kenwood
check "hamlib: a model by number, Hamlib's own speed when none is given" \
  test "$(cat kenwood/hamlib.cfg)" = "model 2014
device $root/dev/ttyUSB1"
run near --hamlib TS-590 "$root/dev/ttyUSB0" near
check "hamlib: a name that is no model's: exit status 1, the near ones listed, nothing made" \
  eval 'test "$(status_of near)" = 1 -a ! -e near && grep -q "RIG_MODEL_TS590SG" near.out'
run nomodel --hamlib 999999 "$root/dev/ttyUSB0" nomodel
check "hamlib: a number that is no model's: exit status 1" test "$(status_of nomodel)" = 1
run models --hamlib-models ic-73
check "hamlib: the models listed for a word" grep -q "RIG_MODEL_IC7300" models.out

# --start with a hamlib.cfg: rigctld runs for the panel's whole run on the port the panel is
# given, and is gone when the panel ends. A stand-in panel asks it, as the panel would.
mkdir -p bin dummy
cat >bin/orvane <<'PANEL'
#!/bin/sh
printf '%s\n' "$*" >"$OLDPWD_FOR_TEST/panel.args"
rigctl -m 2 -r "$2" f >"$OLDPWD_FOR_TEST/panel.heard" 2>&1
exit 3
PANEL
chmod 755 bin/orvane
printf 'port 1\n' >dummy/orvane.cfg
printf 'model 1\ndevice /dev/null\n' >dummy/hamlib.cfg
OLDPWD_FOR_TEST=$work PATH="$work/bin:$PATH" "$station" --start dummy >start.out 2>&1
echo $? >start.status
check "start: the panel's exit status is the tool's" test "$(status_of start)" = 3
check "start: the panel is told where rigctld listens (got $(cat panel.args 2>/dev/null))" \
  grep -Eqx -- "--rig 127.0.0.1:[0-9]+" panel.args
check "start: rigctld answered the panel (Hamlib's dummy starts on 145 MHz)" \
  grep -qx 145000000 panel.heard
rig_port=$(sed 's/.*://' panel.args)
gone() { ! rigctl -m 2 -r "127.0.0.1:$rig_port" f >/dev/null 2>&1; }
check "start: rigctld is gone with the panel" wait_for 50 gone

# A user who may not open the device. Only root can take another user's place to see it.
if [ "$(id -u)" -eq 0 ] && getent group dialout >/dev/null && command -v setpriv >/dev/null; then
  chgrp dialout "$root/dev/ttyUSB0" && chmod 660 "$root/dev/ttyUSB0"
  mkdir -m 777 shared
  # A copy the other user may read, wherever the source tree lies (root's home is closed).
  mkdir -m 755 helper
  cp "$station" "$source_dir/tools/station/orvane.cfg" helper/
  chmod a+rX helper/*
  ORVANE_DEVICES_ROOT=$root setpriv --reuid=nobody --regid=nogroup --clear-groups \
    helper/orvane-station shared/st "$by_id" >denied.out 2>&1
  echo $? >denied.status
  check "no access: exit status 1, the station is still made" \
    test "$(status_of denied)" = 1 -a -L shared/st/com1
  check "no access: the sentence that says how to fix it" said denied \
    "You are not in the group dialout, which may use $root/dev/ttyUSB0. Run: sudo adduser nobody dialout, then log out and in again."
else
  echo "skip the no-access case: it needs root, the group dialout and setpriv"
fi

if [ "$failures" -ne 0 ]; then
  for f in *.out; do echo "--- $f"; cat "$f"; done
  exit 1
fi
exit 0
