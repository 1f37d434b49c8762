#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer under Wine, in a Wine prefix of its own made afresh: a silent install puts
# orvane.exe, the clips and the guides in Program Files, registers the uninstaller, and makes the
# station folder Documents\Orvane with the example orvane.cfg; the Start-menu entry, read through
# the shell's IShellLink, starts orvane.exe in the station folder; a second install keeps the
# operator's orvane.cfg; the panel started from the Start-menu entry works the simulated radio on
# COM3 and speaks from the installed clips; and a silent uninstall removes the program, the entry
# and the registration and leaves the station folder as the operator left it.
#
# usage: installer_wine.sh INSTALLER READ_SHORTCUT_EXE NATIVE_BUILD_DIR WINE PREFIX
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../lib/checks.sh"

usage="usage: installer_wine.sh INSTALLER READ_SHORTCUT_EXE NATIVE_BUILD_DIR WINE PREFIX"
installer=${1:?$usage}
read_shortcut=${2:?$usage}
native=$(cd "${3:?$usage}" && pwd)
wine=${4:?$usage}
prefix=${5:?$usage}
source_dir=$(cd "$here/../.." && pwd)
need Xvfb xdotool "$native/radiosim"
source "$here/wine_checks.sh"
e2e_workdir installer
start_xvfb "$work" || exit 1
# Every run installs into a Windows that has never seen Orvane.
WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null
rm -rf "$prefix" "$prefix.home"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane'
program="$prefix/drive_c/Program Files/Orvane"
registered() { run_wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | grep -qF "$2"; }
unregistered() { ! registered DisplayName Orvane; }

# --- a silent install -----------------------------------------------------------------------------
run_wine "$installer" /S >install.out 2>&1
install_status=$?
check "the silent install ends with exit code 0 (got $install_status)" test "$install_status" -eq 0
for file in orvane.exe uninstall.exe README-windows.txt COPYING.txt NOTICE.txt orvane.cfg; do
  check "Program Files\\Orvane\\$file installed" test -s "$program/$file"
done
check "the whole clip set installed" \
  test "$(ls "$program/wave" 2>/dev/null | wc -l)" -eq "$(ls "$source_dir"/wave/*.wav | wc -l)"
check "registered in Add/Remove Programs with its version" \
  registered DisplayVersion "$(sed -n 's/^project(orvane VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
check "with a silent uninstall" registered QuietUninstallString 'uninstall.exe" /S'

# --- the Start-menu entry -------------------------------------------------------------------------
shortcut=$(find "$prefix/drive_c/users" -path '*/Start Menu/Programs/Orvane/Orvane.lnk' | head -1)
check "the Start menu has Orvane\\Orvane" test -n "$shortcut"
mapfile -t starts < <(run_wine "$read_shortcut" "$(run_wine winepath -w "$shortcut" | tr -d '\r')" |
  tr -d '\r')
check "it starts C:\\Program Files\\Orvane\\orvane.exe (got ${starts[0]:-nothing})" \
  test "${starts[0]:-}" = 'C:\Program Files\Orvane\orvane.exe'
check "with no arguments" test -z "${starts[1]:-}"
station_windows=${starts[2]:-}
station=$(run_wine winepath -u "${station_windows:-C:\\nowhere}" | tr -d '\r')
station=${station%/}
check "in the station folder Documents\\Orvane (got $station_windows)" \
  bash -c '[[ $0 == */users/*/Documents/Orvane ]]' "$station"
check "which holds the example orvane.cfg, with Windows line ends" \
  bash -c 'sed "s/\r*$/\r/" "$0" | cmp -s - "$1"' "$source_dir/packaging/windows/orvane.cfg" \
  "$station/orvane.cfg"

# --- a second install keeps the operator's configuration -------------------------------------------
# The example's port 3 is the simulated radio's COM3; the debug log on, so the run below shows what
# the panel heard.
sed -i '7s/^debug 0/debug 1/' "$station/orvane.cfg"
cp "$station/orvane.cfg" cfg.operator
run_wine "$installer" /S >install2.out 2>&1
check "a second install leaves the operator's orvane.cfg byte for byte" \
  cmp -s cfg.operator "$station/orvane.cfg"

# --- the panel started from the Start-menu entry ---------------------------------------------------
start_radiosim "$native/radiosim" "$work" 3 || exit 1
map_com3 "$work/com3"
ORVANE_WINE_SOUND_CAPTURE=$work/speech.raw run_wine start /wait /unix "$shortcut" >panel.out 2>&1 &
panel_pid=$!
wait_for 300 find_panel_window || { echo "FAIL the panel window did not appear"; cat panel.out; exit 1; }
connected() { grep -aq '^RX=FA' "$station/debug.dat" 2>/dev/null; }
check "the panel started from the Start menu hears the radio" wait_for 300 connected
quit_panel 200
# Wine's start does not wait for a program started through a shortcut: it returns at once, so its
# exit code says nothing about the panel's. The panel is waited for as a process; the uninstaller
# cannot take away an orvane.exe that still runs (the panel says its last words before it ends).
panel_running() { pgrep -f 'Program Files.Orvane.orvane\.exe' >/dev/null; }
check "and ends on Q" wait_for 300 eval '! panel_running'

mapfile -t sent < <(radio_commands radio.log)
startup=(MD1 FA00007100000 PA00 RA00 NB0 PC100 FR0 AG0050 RG255)
check "its start-up commands reached the radio: ${startup[*]} (got ${sent[*]:0:9})" \
  test "${sent[*]:0:9}" = "${startup[*]}"
check "memory.dat written in the station folder, 21 lines" \
  test "$(grep -c $'\r$' "$station/memory.dat" 2>/dev/null)" = 21
# The station folder has no clips: everything said comes from the set beside orvane.exe.
check "the station folder has no clips of its own" test ! -e "$station/wave"
check "the panel spoke the start-up announcement from the installed clips" \
  clip_played "$program/wave/ts.wav" speech.raw

# --- a silent uninstall ----------------------------------------------------------------------------
cp "$station/memory.dat" memory.operator
run_wine "$program/uninstall.exe" /S >uninstall.out 2>&1
# The uninstaller runs from a copy of itself in the temporary folder, and returns at once.
gone() { [ ! -e "$program" ] && [ ! -e "$shortcut" ]; }
check "the silent uninstall removes Program Files\\Orvane and the Start-menu entry" wait_for 300 gone
check "and the registration" unregistered
check "the station folder keeps the operator's orvane.cfg" cmp -s cfg.operator "$station/orvane.cfg"
check "and memory.dat" cmp -s memory.operator "$station/memory.dat"

if [ "$failures" -ne 0 ]; then
  for f in install.out install2.out panel.out uninstall.out; do echo "--- $f"; cat "$f"; done
  echo "--- radio.log"; head -30 radio.log
  echo "--- station folder"; ls -la "$station" 2>&1
  echo "--- left in Program Files"; ls -la "$program" 2>&1
  exit 1
fi
echo "the installer under Wine: all checks passed"
exit 0
