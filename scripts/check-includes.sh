#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an include runs upward. The panel is built in floors: the platform layer at the bottom,
# then core/ (state, texts, configuration), then the subsystems (with rigclient/, the radio's
# line through a Hamlib rig server, beside link/), then rigserver/ (other programs
# reaching the radio through the panel), then panel/ (the composition root
# that wires them together) and app/ (main). A file may include its own folder and any folder on a
# lower floor, never one on its own floor or above. Tests, tools and fuzz targets stand outside.
set -euo pipefail
cd "$(dirname "$0")/.."

floor() {
  case $1 in
    platform) echo 0 ;;
    core) echo 1 ;;
    screen) echo 2 ;;
    link | speech | rigclient) echo 3 ;;
    receiver) echo 4 ;;
    tuning) echo 5 ;;
    keys) echo 6 ;;
    rigserver) echo 7 ;;
    panel) echo 8 ;;
    app) echo 9 ;;
    *) echo "" ;;
  esac
}

status=0
while IFS= read -r file; do
  case $file in *_test.cpp | tests/* | tools/* | fuzz/* | bench/*) continue ;; esac
  dir=${file%%/*}
  own=$(floor "$dir")
  [ -n "$own" ] || continue
  while IFS=: read -r line target; do
    to=${target%%/*}
    [ "$to" = "$dir" ] && continue
    theirs=$(floor "$to")
    if [ -z "$theirs" ] || [ "$theirs" -ge "$own" ]; then
      echo "$file:$line: includes $target (floor ${theirs:-unknown} from floor $own)"
      status=1
    fi
  done < <(grep -no '^#include "[^"]*"' "$file" | sed 's/#include "\(.*\)"/\1/')
done < <(git ls-files '*.cpp' '*.h')
exit $status
