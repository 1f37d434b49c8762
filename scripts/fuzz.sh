#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the fuzz targets for longer than the test run does, one after another.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   each target SECONDS (default 600); all six by default:
#                                           config memory_file reply_path whole_run rig_server
#                                           rig_client
#
# What a run learns is kept outside the repository, in $ORVANE_FUZZ_WORK (default
# ~/.cache/orvane-fuzz), one directory per target: corpus/ grows from run to run, artifacts/ holds
# any input that broke something. To take the inputs that add coverage into the seed corpus:
#   build-fuzz/fuzz_TARGET -merge=1 fuzz/corpus/TARGET "$ORVANE_FUZZ_WORK/TARGET/corpus"
# and keep only a few small, telling ones before committing.

set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(config memory_file reply_path whole_run rig_server rig_client)
build=build-fuzz
work=${ORVANE_FUZZ_WORK:-$HOME/.cache/orvane-fuzz}

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

summary=()
status=0
for target in "${targets[@]}"; do
  dir=$work/$target
  mkdir -p "$dir"
  echo "=== fuzz_$target for $seconds s (corpus in $dir/corpus)"
  echo "    (follow it with: tail -f $dir/last-run.log)"
  if ! bash fuzz/run_target.sh "$build/fuzz_$target" "fuzz/corpus/$target" "$seconds" "$dir" \
    >"$dir/last-run.log" 2>&1; then
    status=1
  fi
  grep -E -A3 'invariant broken|ERROR|runtime error|^=== input' "$dir/last-run.log" || true
  last=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$dir/last-run.log" | tail -1)
  execs=$(grep -m1 'stat::number_of_executed_units' "$dir/last-run.log" | awk '{print $2}')
  rate=$(grep -m1 'stat::average_exec_per_sec' "$dir/last-run.log" | awk '{print $2}')
  summary+=("$(printf '%-12s %10s execs %6s/s  %s' "$target" "${execs:-?}" "${rate:-?}" \
    "$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' <<<"$last")")")
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $status
