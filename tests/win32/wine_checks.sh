# SPDX-License-Identifier: GPL-3.0-or-later
# Shared pieces of the end-to-end scripts under Wine; sourced after ../lib/checks.sh, once $here
# (this folder), $wine (Wine's loader) and $prefix (the Wine prefix) are set.

run_wine() { bash "$here/wine_run.sh" "$wine" "$prefix" "$@"; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver

# A panel still running at the end is killed, and Wine's own processes of this prefix (its server,
# its desktop) end before the display goes.
panel_stop_signal=KILL
extra_cleanup() {
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null
  WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null
}

# map_com3 DEVICE: Wine's COM3 is DEVICE (the simulated radio's line): the port key of Wine's
# registry, which Wine turns into the link dosdevices/com3 when it starts, and that link itself for
# the Wine already running.
map_com3() {
  run_wine reg add 'HKLM\Software\Wine\Ports' /v COM3 /d "$1" /f >/dev/null 2>&1
  ln -sfn "$1" "$prefix/dosdevices/com3"
}
