#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every source file that git tracks the one-line licence identifier
#
#   SPDX-License-Identifier: GPL-3.0-or-later
#
# as a comment of its language: first in a C++ file (// ...), first in a CMake file, and in a
# shell, Python or NSIS script (# ... or ; ...) first or right after its #! line. A file that has
# the identifier near its top already is left as it is, so the script may be run again at any time
# (after a merge that brought new files, say); nothing else in any file changes.
#
#   scripts/add-spdx.sh            adds the line where it is missing, and names each file it changed
#   scripts/add-spdx.sh --check    changes nothing; names each file without it and fails if any
#                                  (scripts/check-spdx.sh, run by the tests)
#
# Source files: *.cpp, *.h, *.sh, *.py, *.cmake, *.nsi, CMakeLists.txt, and files without a name
# extension whose first line is a #! line for sh, bash or python. Data (the clips, fuzz corpora),
# documents and configuration examples carry no identifier.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=add
if [ "${1:-}" = --check ]; then mode=check; fi

identifier="SPDX-License-Identifier: GPL-3.0-or-later"

# comment_of FILE: the comment that carries the identifier in FILE's language; nothing for a file
# that is no source file.
comment_of() {
  case ${1##*/} in
    *.cpp | *.h) echo "// $identifier" ;;
    *.sh | *.py | *.cmake | CMakeLists.txt) echo "# $identifier" ;;
    *.nsi) echo "; $identifier" ;;
    *.*) ;;
    *) if head -n 1 "$1" | grep -Eq '^#!.*(/|env )(ba)?sh( |$)|^#!.*python'; then echo "# $identifier"; fi ;;
  esac
}

# has_identifier FILE: the identifier among the first three lines (after a #! line, a file's
# first lines may be an encoding or a mode line).
has_identifier() { head -n 3 "$1" | grep -q "SPDX-License-Identifier:"; }

missing=0
while IFS= read -r -d '' file; do
  [ -f "$file" ] && [ ! -L "$file" ] || continue
  comment=$(comment_of "$file")
  [ -n "$comment" ] || continue
  has_identifier "$file" && continue
  missing=$((missing + 1))
  if [ "$mode" = check ]; then
    echo "no licence identifier: $file"
    continue
  fi
  if [ ! -s "$file" ]; then
    printf '%s\n' "$comment" >"$file"
  elif head -n 1 "$file" | grep -q '^#!'; then
    sed -i "1a\\$comment" "$file"
  else
    sed -i "1i\\$comment" "$file"
  fi
  echo "added: $file"
done < <(git ls-files -z)

if [ "$mode" = check ] && [ "$missing" -ne 0 ]; then
  echo "$missing tracked source file(s) without the licence identifier: run scripts/add-spdx.sh"
  exit 1
fi
exit 0
