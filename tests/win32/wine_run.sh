#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, in the Wine prefix PREFIX, which is made on first
# use: quietly, without the .NET and HTML runtimes Wine would offer to fetch, and with sound
# switched off (the sound tests turn it on where they want it).
#
# usage: wine_run.sh WINE PREFIX PROGRAM [ARGS...]
set -euo pipefail
wine=${1:?usage: wine_run.sh WINE PREFIX PROGRAM [ARGS...]}
prefix=${2:?usage: wine_run.sh WINE PREFIX PROGRAM [ARGS...]}
shift 2

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The loader finds its server beside it; a wine64 outside PATH would otherwise look in PATH.
if [ -z "${WINESERVER:-}" ] && [ -x "$(dirname "$wine")/wineserver" ]; then
  export WINESERVER
  WINESERVER=$(dirname "$wine")/wineserver
fi

# Tests run in parallel: the first one makes the prefix, the others wait for it.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.orvane-ready" ]; then
    rm -rf "$prefix"
    "$wine" wineboot --init >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1
    touch "$prefix/.orvane-ready"
  fi
) 9>"$prefix.lock"

exec "$wine" "$@"
