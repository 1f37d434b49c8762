#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package's changelog and maintainer: the changelog made from CHANGELOG.md parses as
# Debian's tools parse it, names the project's version first and keeps every line within 80
# characters; a CHANGELOG.md the converter cannot take whole is refused, never half converted; and
# the maintainer is read from DEBFULLNAME and DEBEMAIL as Debian's own tools read them.
#
# usage: debian_changelog_test.sh SOURCE_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"

source_dir=$(cd "${1:?usage: debian_changelog_test.sh SOURCE_DIR}" && pwd)
convert="$source_dir/packaging/debian/debian-changelog.sh"
need dpkg-parsechangelog cmake
work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-changelog-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

signer="Orvane developers <orvane@users.noreply.github.com>"
project_version=$(sed -n 's/^project(orvane VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
sh "$convert" "$source_dir/CHANGELOG.md" "$signer" >real.changelog 2>real.err
check "CHANGELOG.md converts" test -s real.changelog -a ! -s real.err
parsed() { dpkg-parsechangelog -l "$1" -S "$2" 2>/dev/null; }
check "its newest entry is the project's version, $project_version" \
  test "$(parsed real.changelog Version)" = "$project_version"
check "signed by the maintainer given" test "$(parsed real.changelog Maintainer)" = "$signer"
check "no line of an entry longer than 80 characters" \
  test "$(grep -v '^ -- ' real.changelog | awk 'length > 80' | wc -l)" -eq 0
check "dated as the section says" \
  test "$(parsed real.changelog Date)" = "$(date -u -R -d "$(sed -n 's/^## [0-9.]* (\(.*\))$/\1/p' \
    "$source_dir/CHANGELOG.md" | head -1) 12:00:00")"

# Two versions, newest first, points of several lines.
cat >two.md <<'MD'
# Changelog

Words before the first version are no part of it.

## 2.0 (2027-01-31)

- A point long enough to be wrapped by the converter, because it goes on and on about the radio,
  with a second line in the file.
- A short point.

## 1.9 (2026-12-07)

- The first release.
MD
sh "$convert" two.md "$signer" >two.changelog
check "two versions: two entries, newest first" \
  test "$(dpkg-parsechangelog -l two.changelog --all --format rfc822 2>/dev/null |
    sed -n 's/^Version: //p' | tr '\n' ' ')" = "2.0 1.9 "
check "two versions: each point a star, its lines joined and wrapped" \
  test "$(grep -c '^  \* ' two.changelog)|$(grep -c '^    [a-z]' two.changelog)" = "3|1"

# What cannot be converted whole is refused with a message, and gives no changelog.
refused() {
  printf '%b' "$1" >bad.md
  ! sh "$convert" bad.md "$signer" >bad.changelog 2>bad.err && [ -s bad.err ]
}
check "a version heading without its date is refused" refused '## 2.0\n\n- A point.\n'
check "a line that is no point is refused" refused '## 2.0 (2027-01-31)\n\nA paragraph.\n'
check "a version without points is refused" refused '## 2.0 (2027-01-31)\n\n## 1.9 (2026-12-07)\n\n- A point.\n'
check "a file without versions is refused" refused '# Changelog\n'
check "an impossible date is refused" refused '## 2.0 (2027-13-45)\n\n- A point.\n'

# The maintainer, from the environment as dch reads it.
cat >maintainer.cmake <<CMAKE
include("$source_dir/packaging/debian/maintainer.cmake")
orvane_debian_maintainer(m)
message("\${m}")
CMAKE
maintainer_with() { env -u DEBFULLNAME -u DEBEMAIL "$@" cmake -P maintainer.cmake 2>&1; }
while IFS='|' read -r fullname email expected; do
  args=()
  [ -n "$fullname" ] && args+=("DEBFULLNAME=$fullname")
  [ -n "$email" ] && args+=("DEBEMAIL=$email")
  got=$(maintainer_with "${args[@]}")
  check "DEBFULLNAME='$fullname' DEBEMAIL='$email': $expected (got $got)" test "$got" = "$expected"
done <<'CASES'
||Orvane developers <orvane@users.noreply.github.com>
|ham@example.org|Orvane developers <ham@example.org>
|Jane Doe <jane@example.org>|Jane Doe <jane@example.org>
John Roe|Jane Doe <jane@example.org>|John Roe <jane@example.org>
John Roe|john@example.org|John Roe <john@example.org>
John Roe||John Roe <orvane@users.noreply.github.com>
CASES

exit $((failures != 0))
