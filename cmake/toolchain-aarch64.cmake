# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds the panel for 64-bit ARM Linux (a Raspberry Pi 3, 4 or 5 with a 64-bit system, or any
# arm64 board) on a Debian amd64 machine: Debian's cross compiler (g++-aarch64-linux-gnu) and the
# arm64 libraries installed beside the machine's own through multiarch (libsdl2-dev:arm64 etc.).
# scripts/build-arm64.sh installs them and uses this:
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch keeps the arm64 libraries in /usr/lib/aarch64-linux-gnu of this machine: pkg-config
# reads their .pc files only, never the machine's own.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# The Debian architecture the package is made for.
set(ORVANE_DEBIAN_ARCHITECTURE arm64)

# Tests run through qemu's user-mode emulator (package qemu-user). The arm64 C library installed
# through multiarch puts its loader where the programs look for it, so qemu needs no sysroot.
find_program(ORVANE_QEMU_AARCH64 qemu-aarch64)
if(ORVANE_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVANE_QEMU_AARCH64})
endif()
