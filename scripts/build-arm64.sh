#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the panel for 64-bit ARM (a Raspberry Pi or a like board at the radio) on this Debian
# amd64 machine, runs its unit tests and the terminal end-to-end test under qemu's user-mode
# emulator, and makes and checks its Debian package: build-arm64/orvane_VERSION_arm64.deb.
#
#   scripts/build-arm64.sh
#
# Adds arm64 as a foreign architecture of the machine (dpkg --add-architecture) and installs the
# cross compiler, the arm64 libraries through multiarch and qemu-user. The programs are run by
# naming qemu-aarch64 before them, so no binfmt_misc registration is needed (containers often have
# none).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  echo "Adding arm64 as a foreign architecture of this machine"
  $sudo dpkg --add-architecture arm64
  $sudo apt-get update -qq
fi
scripts/install-deps.sh g++-aarch64-linux-gnu qemu-user \
  libsdl2-dev:arm64 libsdl2-ttf-dev:arm64 libfontconfig-dev:arm64 libx11-dev:arm64 \
  libsoundtouch-dev:arm64 libspeechd-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64

build=build-arm64
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

echo "=== the unit tests and the terminal end-to-end test under qemu-aarch64"
# Three tests of the serial port read the kernel's own state of a pseudo-terminal through ioctls
# that qemu's user-mode emulator (Debian 12: 7.2) does not pass on: TCGETS2 (the speed as the
# kernel holds it) and TIOCGEXCL (exclusive mode). They run on the arm64 machine itself.
not_under_qemu='PtySerialTest\.(StandardAndOddSpeedsAreSetAndReadBack|HeldPortIsInExclusiveModeAndGivesItBack|DeviceHeldExclusivelyByAProgramThatDoesNotLockIsRefused)$'
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L 'unit|terminal' -E "$not_under_qemu"

echo "=== the arm64 package"
# scripts/check-package.sh on the package made from this build (with DEB_HOST_ARCH=arm64, so that
# dpkg-shlibdeps looks for the arm64 libraries).
ctest --test-dir "$build" --output-on-failure -L package
