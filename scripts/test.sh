#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and runs every test: once in the ordinary build and once under AddressSanitizer
# and UndefinedBehaviorSanitizer; then each fuzz target for a few seconds (build-fuzz, clang).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
# build-win: the Windows program, cross-built, its tests run under Wine (after build, whose radiosim
# the end-to-end run under Wine uses).
variants=(build build-asan build-fuzz build-win)
for variant in "${variants[@]}"; do
  extra=()
  if [ "$variant" = build-asan ]; then extra=(-DORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug); fi
  if [ "$variant" = build ]; then extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo); fi
  if [ "$variant" = build-fuzz ]; then
    extra=(-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DORVANE_FUZZ=ON
      -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  fi
  if [ "$variant" = build-win ]; then
    extra=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
      -DORVANE_NATIVE_BUILD="$PWD/build")
  fi
  cmake -S . -B "$variant" -G Ninja "${extra[@]}" >/dev/null
  cmake --build "$variant" -j "$jobs"
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Library memory that SDL's helpers keep until exit, by design; never the panel's own.
export LSAN_OPTIONS=suppressions=$PWD/tests/sdl/lsan_suppressions.txt:print_suppressions=0
status=0
failing=()
for variant in "${variants[@]}"; do
  echo "=== tests in $variant"
  ctest --test-dir "$variant" --output-on-failure -j "$jobs" || { status=1; failing+=("$variant"); }
done

# A failure is told again at the very end, where a log cut to its last lines still shows it: which
# tests failed in which build, and the last lines of each one's output.
for variant in "${failing[@]}"; do
  echo "=== FAILED in $variant:"
  cat "$variant/Testing/Temporary/LastTestsFailed.log"
  awk '/^[0-9]+\/[0-9]+ Testing: / { if (bad) print block; block = ""; bad = 0 }
       { block = block $0 "\n" }
       /^Test Failed|^Test not run|Exception:|\*\*\*Timeout/ { bad = 1 }
       END { if (bad) print block }' "$variant/Testing/Temporary/LastTest.log" | tail -n 120
done
exit $status
