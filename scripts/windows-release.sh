#!/usr/bin/env bash
# Builds the Windows release on Debian: orvane.exe cross-compiled with mingw-w64 and linked
# statically (it needs no DLL beyond those of Windows itself), the clip set, an example orvane.cfg
# and the operator's guide, with Windows line ends, in dist/orvane-windows-VERSION/, zipped as
# dist/orvane-windows-VERSION.zip.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

version=$(sed -n 's/^project(orvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build-win-release
name=orvane-windows-$version
folder=dist/$name

# -O2: GCC 12's -O3 warns falsely about overlapping copies inside std::string (GCC bug 105651).
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s" >/dev/null
cmake --build "$build" -j "$(nproc)" --target orvane

imports=$(x86_64-w64-mingw32-objdump -p "$build/orvane.exe" | sed -n 's/^\s*DLL Name: //p' | sort)
for dll in $imports; do
  case ${dll,,} in
    kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll) ;;
    *) echo "orvane.exe would need $dll, which Windows does not bring" >&2; exit 1 ;;
  esac
done

crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
rm -rf "$folder" "dist/$name.zip"
mkdir -p "$folder/wave"
cp "$build/orvane.exe" "$folder/"
cp wave/*.wav "$folder/wave/"
crlf packaging/windows/orvane.cfg "$folder/orvane.cfg"
crlf packaging/windows/README-windows.txt "$folder/README-windows.txt"
(cd dist && zip -q -r -X "$name.zip" "$name")

echo "dist/$name.zip: $(stat -c %s "dist/$name.zip") bytes;" \
  "orvane.exe $(stat -c %s "$folder/orvane.exe") bytes, imports: $(echo $imports)"
