#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it.
#
#   scripts/check-package.sh [--build DIR] [--fresh FRESH_MACHINE_SH ROOT]
#
# Builds build-package/orvane_<version>_<arch>.deb with cpack (CPack's DEB generator; dpkg-shlibdeps
# finds the libraries) and checks what is in it: its Depends line, its section, its maintainer,
# every program, the clip set, the manual pages, the desktop entry, the software centre's metadata,
# the copyright file, the changelog and the guide. The desktop entry must pass
# desktop-file-validate, the metadata appstreamcli validate, and the package lintian with no error
# and no warning; lintian's informational tags are printed.
#
# With --build DIR the package is made from that build directory as it stands (the test command
# does this in its ordinary build), without installing packages or building anything first.
#
# With --fresh it also installs the package with apt on a fresh Debian 12 root and runs it there
# (tests/install/in_fresh_root.sh): FRESH_MACHINE_SH is a tool that runs a command in a throwaway
# copy of ROOT as `FRESH_MACHINE_SH run ROOT SRC CMD...` on a clean clone of the git repository SRC.
# This needs root. The package and the check script are handed over in a small repository of their
# own, so the fresh machine sees nothing of this one.
#
# The maintainer is DEBFULLNAME <DEBEMAIL> when they are set, as for Debian's own tools
# (packaging/debian/maintainer.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."

build="" fresh_tool="" fresh_root=""
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=${2:?--build wants a build directory}; shift 2 ;;
    --fresh)
      fresh_tool=${2:?--fresh wants the tool and the root}
      fresh_root=${3:?--fresh wants the tool and the root}
      shift 3
      ;;
    *) echo "usage: scripts/check-package.sh [--build DIR] [--fresh FRESH_MACHINE_SH ROOT]" >&2; exit 2 ;;
  esac
done

if [ -z "$build" ]; then
  scripts/install-deps.sh
  build=build-package
  # RelWithDebInfo as the tests build it; CPack strips the programs. (GCC 12 at -O3 warns falsely
  # inside libstdc++'s string code, and warnings are errors here.) Debian's hardening flags, all of
  # them, as a package of the distribution is built: fortified string functions, stack
  # protection, and read-only relocations bound at start.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target orvane radiosim catprobe manual_pages
fi
build=$(cd "$build" && pwd)
rm -f "$build"/orvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/orvane_*.deb)
echo "package: $deb"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
field() { dpkg-deb -f "$deb" "$1"; }
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
holds() { grep -qx "./$1" <<<"$contents"; }

depends=$(field Depends)
echo "Depends: $depends"
for package in libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 fonts-liberation libstdc++6 \
  libspeechd2 libsoundtouch1; do
  check "depends on $package" grep -q "\(^\|, \)$package\( \|,\|$\)" <<<"$depends"
done
check "recommends libhamlib-utils, for radios of other makes" \
  grep -q "\(^\|, \)libhamlib-utils\( \|,\|$\)" <<<"$(field Recommends)"
check "section hamradio" test "$(field Section)" = hamradio
for program in orvane radiosim catprobe orvane-station orvane-make-clips; do
  check "holds /usr/bin/$program" holds "usr/bin/$program"
done
check "holds the whole clip set" \
  test "$(grep -c '^\./usr/share/orvane/wave/.*\.wav$' <<<"$contents")" -eq "$(ls wave/*.wav | wc -l)"
for page in orvane orvane-station orvane-make-clips radiosim catprobe; do
  check "holds the manual page $page(1)" holds "usr/share/man/man1/$page.1.gz"
done
app=io.github.orvane.Orvane
check "holds the desktop entry" holds "usr/share/applications/$app.desktop"
check "holds the software centre's metadata" holds "usr/share/metainfo/$app.metainfo.xml"
check "holds the icon" holds "usr/share/icons/hicolor/scalable/apps/$app.svg"
check "holds the guide" holds usr/share/doc/orvane/guide.md
check "holds the copyright file" holds usr/share/doc/orvane/copyright
check "holds the changelog" holds usr/share/doc/orvane/changelog.gz
check "holds the example configuration" holds usr/share/orvane/orvane.cfg

check "the desktop entry passes desktop-file-validate" \
  desktop-file-validate "$unpacked/usr/share/applications/$app.desktop"
check "the metadata passes appstreamcli validate" \
  appstreamcli validate --no-net "$unpacked/usr/share/metainfo/$app.metainfo.xml"

# The changelog is the one CHANGELOG.md gives, signed by the package's maintainer.
maintainer=$(field Maintainer)
echo "Maintainer: $maintainer"
zcat "$unpacked/usr/share/doc/orvane/changelog.gz" >"$unpacked/changelog"
changelog_says() { dpkg-parsechangelog -l "$unpacked/changelog" -S "$1"; }
check "the changelog's newest entry is the package's version" \
  test "$(changelog_says Version)" = "$(field Version)"
check "the changelog is signed by the package's maintainer" \
  test "$(changelog_says Maintainer)" = "$maintainer"

lintian_out=$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1) || true
echo "--- lintian"
[ -n "$lintian_out" ] && echo "$lintian_out"
check "lintian finds no error and no warning" bash -c '! grep -q "^[EW]: " <<<"$0"' "$lintian_out"

if [ -n "$fresh_tool" ]; then
  handover=$(mktemp -d)
  trap 'rm -rf "$handover" "$unpacked"' EXIT
  mkdir "$handover/lib"
  cp "$deb" "$handover/"
  cp tests/install/in_fresh_root.sh "$handover/"
  cp tests/lib/checks.sh "$handover/lib/"
  git -C "$handover" init -q
  git -C "$handover" add -A
  git -C "$handover" -c user.name=check -c user.email=check@localhost commit -qm package
  echo "--- in a fresh root ($fresh_root)"
  if ! "$fresh_tool" run "$fresh_root" "$handover" bash in_fresh_root.sh; then
    echo "FAIL the package in a fresh root"
    failures=$((failures + 1))
  fi
fi

[ "$failures" -eq 0 ] && echo "package checks passed"
exit $((failures != 0))
