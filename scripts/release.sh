#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the release of VERSION in dist/, each part built and tested:
#
#   dist/orvane-VERSION.tar.gz                 the source, from the last commit (git archive)
#   dist/orvane_VERSION_amd64.deb              the Debian package (scripts/check-package.sh)
#   dist/orvane_VERSION_arm64.deb              the same for 64-bit ARM, its tests run under qemu
#                                              (scripts/build-arm64.sh)
#   dist/orvane-windows-VERSION.zip            the Windows program, and its installer, tested
#   dist/orvane-windows-VERSION-setup.exe      under Wine (scripts/windows-release.sh)
#   dist/SHA256SUMS                            their SHA-256 sums, as sha256sum -c reads them
#
#   scripts/release.sh VERSION
#
# VERSION must be the version the source tree states everywhere (scripts/check-version.sh: CMake,
# the banner and --version, the window title, the changelog, the metadata, the manual pages), and
# what is made from it must state it too: --version of each program, the packages' Version and
# changelog, the installer's registration (its test under Wine). (The window title is not looked
# for in the programs: the compiler may store a short text in pieces.) The version is changed in
# the source tree, never here. Takes a while: three builds, lintian twice, Wine and qemu.
set -euo pipefail
cd "$(dirname "$0")/.."

version=${1:?usage: scripts/release.sh VERSION}
fail() {
  echo "release $version: $*" >&2
  exit 1
}

scripts/check-version.sh "$version" || fail "the source tree does not state this version everywhere (above)"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  fail "there are uncommitted changes; the source release is made from the last commit, so commit them first"

# unzip: the Windows program is checked as it comes out of its zip.
scripts/install-deps.sh unzip
mkdir -p dist
tarball=dist/orvane-$version.tar.gz
amd64=dist/orvane_${version}_amd64.deb
arm64=dist/orvane_${version}_arm64.deb
zip=dist/orvane-windows-$version.zip
installer=dist/orvane-windows-$version-setup.exe
rm -rf "$tarball" "$amd64" "$arm64" "$zip" "$installer" "dist/orvane-windows-$version" dist/SHA256SUMS

echo "=== the source: $tarball"
git archive --format=tar.gz --prefix="orvane-$version/" -o "$tarball" HEAD

echo "=== the Debian package for amd64"
scripts/check-package.sh
cp "build-package/orvane_${version}_amd64.deb" "$amd64"

echo "=== the Debian package for arm64"
scripts/build-arm64.sh
cp "build-arm64/orvane_${version}_arm64.deb" "$arm64"

echo "=== Windows: the zip and the installer"
scripts/windows-release.sh
# The installer's test under Wine, against the simulated radio of the amd64 package's build.
cmake -S . -B build-win-release -DORVANE_NATIVE_BUILD="$PWD/build-package" >/dev/null
# The test reads the Start-menu entry with a small Windows program of its own.
cmake --build build-win-release --target read_shortcut >/dev/null
ctest --test-dir build-win-release --output-on-failure -R windows_installer_wine
[ -f "$zip" ] && [ -f "$installer" ] || fail "scripts/windows-release.sh made no $zip and $installer"

echo "=== the version in what was made"
made=$(mktemp -d)
trap 'rm -rf "$made"' EXIT
# states WHAT TEXT EXPECTED: fails the release when TEXT is not EXPECTED.
states() {
  [ "$2" = "$3" ] || fail "$1 says \"$2\", not \"$3\""
  echo "ok   $1: $2"
}
for deb in "$amd64" "$arm64"; do
  arch=$(dpkg-deb -f "$deb" Architecture)
  dpkg-deb -x "$deb" "$made/$arch"
  states "$deb: Version" "$(dpkg-deb -f "$deb" Version)" "$version"
  zcat "$made/$arch/usr/share/doc/orvane/changelog.gz" >"$made/$arch.changelog"
  states "$deb: its changelog" "$(dpkg-parsechangelog -l "$made/$arch.changelog" -S Version)" "$version"
  run=()
  [ "$arch" = arm64 ] && run=(qemu-aarch64)
  states "$deb: orvane --version" "$("${run[@]}" "$made/$arch/usr/bin/orvane" --version | head -1)" "orvane $version"
done
unzip -q "$zip" -d "$made/windows"
exe="$made/windows/orvane-windows-$version/orvane.exe"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
bash tests/win32/wine_run.sh "$wine" "$PWD/build-win-release/wine" "$exe" --version >"$made/exe-version" 2>/dev/null
states "$zip: orvane.exe --version" "$(head -1 "$made/exe-version" | tr -d '\r')" "orvane $version"

(cd dist && sha256sum "${tarball#dist/}" "${amd64#dist/}" "${arm64#dist/}" "${zip#dist/}" \
  "${installer#dist/}" >SHA256SUMS)
echo "=== release $version in dist/:"
cat dist/SHA256SUMS
