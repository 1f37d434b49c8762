#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the panel: idle cost, key to wire, key to sound, the readout, the poll cadence, start-up,
# and the same work done by espeak-ng and Hamlib's rigctl, and prints one table with each figure's
# median and 99th percentile, its target and the machine it ran on. Takes about four minutes.
# Run it on demand; it is no pass/fail step of the tests.
#
#   scripts/bench.sh
#
# Builds the ordinary build (build/, RelWithDebInfo, as scripts/test.sh does) and installs what the
# measurements need besides the panel's own packages. See bench/run.sh for the knobs.
set -euo pipefail
cd "$(dirname "$0")/.."

# espeak-ng and rigctl are what the panel is compared with; XTEST presses keys with timestamps;
# speech-dispatcher speaks the panel's phrases through espeak-ng.
scripts/install-deps.sh espeak-ng libhamlib-utils libxtst-dev speech-dispatcher
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target orvane orvane_traced radiosim benchkit bench_xkey bare_window
exec bench/run.sh build
