#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzz target for SECONDS from its seed corpus, without writing into the repository: what
# it learns goes into WORK (a temporary directory unless given) and is kept only there.
# Fails on any crash, sanitizer report or broken invariant, and prints the input that caused it.
#   run_target.sh BINARY SEED_DIR SECONDS [WORK]
set -euo pipefail
binary=$1 seeds=$2 seconds=$3 work=${4:-}

cleanup=""
if [ -z "$work" ]; then
  work=$(mktemp -d)
  cleanup=$work
fi
trap 'if [ -n "$cleanup" ]; then rm -rf "$cleanup"; fi' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
started=$work/artifacts/.started
touch "$started"

status=0
"$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "$seeds" || status=$?

if [ "$status" -ne 0 ]; then
  find "$work/artifacts" -type f -newer "$started" ! -name .started | while read -r f; do
    echo "=== input that broke $(basename "$binary") ($(basename "$f")), as bytes:"
    od -An -c "$f" | head -40
  done
fi
exit "$status"
