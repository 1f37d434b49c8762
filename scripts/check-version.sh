#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every place in the source tree that states the version states the same one: the
# project's version in CMakeLists.txt, the panel's kVersion (its banner and --version), the window
# title, the newest section of CHANGELOG.md, the newest release and the screenshot's tag in the
# AppStream metadata (dated as in CHANGELOG.md), and the manual pages. Says each disagreement in a
# line and fails.
#
#   scripts/check-version.sh [VERSION]
#
# VERSION, when given, must be the project's version too (scripts/release.sh gives it).
set -uo pipefail
cd "$(dirname "$0")/.."

project=$(sed -n 's/^project(orvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
wanted=${1:-$project}
problems=0
# agree WHERE FOUND: FOUND must be the wanted version.
agree() {
  if [ "$2" != "$wanted" ]; then
    echo "version $wanted, but $1 says ${2:-nothing}"
    problems=$((problems + 1))
  fi
}

agree "CMakeLists.txt (project)" "$project"
agree "panel/panel.h (kVersion, the banner and --version)" \
  "$(sed -n 's/^inline constexpr char kVersion\[\] = "\(.*\)";$/\1/p' panel/panel.h)"
agree "screen/screen_map.h (the window title)" \
  "$(sed -n 's/^inline constexpr std::string_view kWindowTitle = ".* v\([0-9.]*\)\*\*\*";$/\1/p' screen/screen_map.h)"
agree "CHANGELOG.md (its newest section)" \
  "$(sed -n 's/^## \([0-9.]*\) ([0-9-]*)$/\1/p' CHANGELOG.md | head -1)"
metainfo=tools/station/io.github.orvane.Orvane.metainfo.xml
agree "$metainfo (its newest release)" \
  "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)"
agree "$metainfo (the screenshot's tag)" \
  "$(sed -n 's|.*/v\([0-9.]*\)/docs/screenshot.png.*|\1|p' "$metainfo")"
changelog_date=$(sed -n 's/^## [0-9.]* (\([0-9-]*\))$/\1/p' CHANGELOG.md | head -1)
metainfo_date=$(sed -n 's/.*<release version="[^"]*" date="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
if [ "$changelog_date" != "$metainfo_date" ]; then
  echo "CHANGELOG.md dates the newest version $changelog_date, but $metainfo dates it ${metainfo_date:-nowhere}"
  problems=$((problems + 1))
fi
for page in docs/*.1; do
  grep -q '^\.so ' "$page" && continue
  agree "$page" "$(sed -n 's/^\.TH .* "orvane \([0-9.]*\)" .*/\1/p' "$page")"
done

if [ "$problems" -ne 0 ]; then
  echo "the version is not the same everywhere: $problems place(s) to change"
  exit 1
fi
echo "version $wanted everywhere"
