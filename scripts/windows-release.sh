#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows release on Debian: orvane.exe cross-compiled with mingw-w64 and linked
# statically (it needs no DLL beyond those of Windows itself), the clip set, an example orvane.cfg,
# the operator's guide, the licence and the notice of what else orvane.exe holds, with Windows line
# ends (packaging/windows/stage.sh), zipped as dist/orvane-windows-VERSION.zip; and the installer
# of the same files, dist/orvane-windows-VERSION-setup.exe, built with NSIS
# (packaging/windows/orvane.nsi).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

version=$(sed -n 's/^project(orvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build-win-release
name=orvane-windows-$version

# -O2: GCC 12's -O3 warns falsely about overlapping copies inside std::string (GCC bug 105651).
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s" >/dev/null
cmake --build "$build" -j "$(nproc)" --target windows_release

imports=$(x86_64-w64-mingw32-objdump -p "$build/orvane.exe" | sed -n 's/^\s*DLL Name: //p' | sort)
for dll in $imports; do
  case ${dll,,} in
    # All part of every Windows: the network is Winsock, the speech service SAPI through COM.
    kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll | ws2_32.dll | ole32.dll) ;;
    *) echo "orvane.exe would need $dll, which Windows does not bring" >&2; exit 1 ;;
  esac
done

mkdir -p dist
rm -rf "dist/$name" "dist/$name.zip" "dist/$name-setup.exe"
cp -r "$build/$name" "$build/$name.zip" "$build/$name-setup.exe" dist/
echo "dist/$name.zip: $(stat -c %s "dist/$name.zip") bytes;" \
  "orvane.exe $(stat -c %s "dist/$name/orvane.exe") bytes, imports: $(echo $imports)"
echo "dist/$name-setup.exe: $(stat -c %s "dist/$name-setup.exe") bytes"
