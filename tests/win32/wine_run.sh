#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a program of the Windows build under Wine, in the Wine prefix PREFIX, which is made on first
# use: quietly, and without the .NET and HTML runtimes Wine would offer to fetch.
#
# Sound goes through Wine's ALSA driver to an ALSA device of the run's own, never to the machine's
# speakers: a device that takes the samples in real time and drops them, or, when
# ORVANE_WINE_SOUND_CAPTURE names a file, one that also writes them there as they are played (raw,
# in the format the program opened; the program's Windows path for it is Z: + the Unix path).
#
# usage: wine_run.sh WINE PREFIX PROGRAM [ARGS...]
set -euo pipefail
usage="usage: wine_run.sh WINE PREFIX PROGRAM [ARGS...]"
wine=${1:?$usage}
prefix=${2:?$usage}
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
    rm -rf "$prefix" "$prefix.home"
    # Wine links the Windows user's Documents, Desktop and the like to the home directory it is
    # made with: a folder beside the prefix, so that nothing a test installs reaches the real one.
    mkdir -p "$prefix.home"
    HOME=$prefix.home "$wine" wineboot --init >/dev/null 2>&1
    HOME=$prefix.home "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
    touch "$prefix/.orvane-ready"
  fi
) 9>"$prefix.lock"

# ALSA reads its user configuration from $HOME/.asoundrc; Wine needs nothing else from HOME. The
# folder lies beside the capture file or the prefix, so nothing is left to remove after the exec.
if [ -n "${ORVANE_WINE_SOUND_CAPTURE:-}" ]; then
  home=$ORVANE_WINE_SOUND_CAPTURE.home
  device="{ type file slave.pcm \"null\" file \"$ORVANE_WINE_SOUND_CAPTURE\" format \"raw\" }"
else
  home=$prefix.home
  device="{ type null }"
fi
mkdir -p "$home"
echo "pcm.!default $device" >"$home/.asoundrc.$$"
mv -f "$home/.asoundrc.$$" "$home/.asoundrc"

HOME=$home exec "$wine" "$@"
