#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the panel needs to build, run and be tested, and any further
# packages named as arguments (scripts/bench.sh names its own). Installs only what is missing, so
# a second run costs nothing. Uses sudo when not run as root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev libgtest-dev libgmock-dev
  # the system's speech service (libspeechd, speech-dispatcher's client library) and the clip
  # rate's time stretcher
  libspeechd-dev libsoundtouch-dev
  # the fuzz targets: clang with its libFuzzer, AddressSanitizer and UBSan runtimes
  clang-14 libclang-rt-14-dev
  # the large font and the plain one
  fonts-liberation fonts-dejavu-core
  # real-window and real-sound tests
  xvfb xdotool x11-apps imagemagick
  # Xlib for the window layer; xprop and xwininfo for the real-window test
  x11-utils libx11-dev
  # a window manager, to check that the window's frame fits in its outer size
  openbox
  # Hamlib's rigctl, a client written elsewhere, to check that the simulated radio speaks the protocol
  libhamlib-utils
  # the fault tests: a mount namespace with a read-only bind mount and a small tmpfs
  util-linux mount
  # the install test: reading the manual pages, checking the desktop entry; the Debian package:
  # dpkg-shlibdeps (dpkg-dev) and file, which CPack uses to find the programs' libraries
  man-db desktop-file-utils dpkg-dev file
  # the package check: lintian, and appstreamcli for the software centre's metadata
  lintian appstream
  # the Windows build: the mingw-w64 cross compiler, GoogleTest's sources for it, Wine to run its
  # tests, zip for the release
  g++-mingw-w64-x86-64 googletest wine64 zip
  # the Windows installer, built with NSIS
  nsis
  # the terminal test types into the panel through a pseudo-terminal of its own (tests/term/)
  python3
  # the speech tests run a speech-dispatcher of their own, and the bench speaks through espeak-ng
  speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
