#!/usr/bin/env bash
# Builds the Debian package and checks it.
#
#   scripts/check-package.sh [--fresh FRESH_MACHINE_SH ROOT]
#
# Builds build-package/orvane_<version>_<arch>.deb with cpack (CPack's DEB generator; dpkg-shlibdeps
# finds the libraries) and checks what is in it: its Depends line, its section, every program, the
# clip set, the manual pages, the desktop entry and the guide. lintian's findings are printed when
# lintian is installed.
#
# With --fresh it also installs the package with apt on a fresh Debian 12 root and runs it there
# (tests/install/in_fresh_root.sh): FRESH_MACHINE_SH is a tool that runs a command in a throwaway
# copy of ROOT as `FRESH_MACHINE_SH run ROOT SRC CMD...` on a clean clone of the git repository SRC.
# This needs root. The package and the check script are handed over in a small repository of their
# own, so the fresh machine sees nothing of this one.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

fresh_tool="" fresh_root=""
if [ "${1:-}" = --fresh ]; then
  fresh_tool=${2:?--fresh wants the tool and the root}
  fresh_root=${3:?--fresh wants the tool and the root}
fi

scripts/install-deps.sh
build=build-package
# RelWithDebInfo as the tests build it; CPack strips the programs. (GCC 12 at -O3 warns falsely
# inside libstdc++'s string code, and warnings are errors here.)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target orvane radiosim catprobe manual_pages
rm -f "$build"/orvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$repo/$build"/orvane_*.deb)
echo "package: $deb"

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
for package in libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 fonts-liberation libstdc++6; do
  check "depends on $package" grep -q "\(^\|, \)$package\( \|,\|$\)" <<<"$depends"
done
check "section hamradio" test "$(field Section)" = hamradio
for program in orvane radiosim catprobe orvane-station orvane-make-clips; do
  check "holds /usr/bin/$program" holds "usr/bin/$program"
done
check "holds the whole clip set" \
  test "$(grep -c '^\./usr/share/orvane/wave/.*\.wav$' <<<"$contents")" -eq "$(ls wave/*.wav | wc -l)"
for page in orvane orvane-station orvane-make-clips radiosim catprobe; do
  check "holds the manual page $page(1)" holds "usr/share/man/man1/$page.1.gz"
done
check "holds the desktop entry" holds usr/share/applications/orvane.desktop
check "holds the guide" holds usr/share/doc/orvane/guide.md
check "holds the example configuration" holds usr/share/orvane/orvane.cfg

if command -v lintian >/dev/null; then
  echo "--- lintian (for information)"
  lintian --tag-display-limit 0 "$deb" 2>/dev/null || true
fi

if [ -n "$fresh_tool" ]; then
  handover=$(mktemp -d)
  trap 'rm -rf "$handover"' EXIT
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
