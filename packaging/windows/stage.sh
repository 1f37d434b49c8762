#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Lays out the Windows release in STAGE: orvane.exe, the clip set in wave, the example orvane.cfg,
# the operator's guide, the licence (COPYING.txt) and the notice of what else orvane.exe holds
# (NOTICE.txt), the texts with Windows line ends. The zip and the installer are made from it.
#
#   stage.sh STAGE ORVANE_EXE SOURCE_DIR
set -eu
stage=${1:?usage: stage.sh STAGE ORVANE_EXE SOURCE_DIR}
exe=${2:?usage: stage.sh STAGE ORVANE_EXE SOURCE_DIR}
source_dir=${3:?usage: stage.sh STAGE ORVANE_EXE SOURCE_DIR}

crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
rm -rf "$stage"
mkdir -p "$stage/wave"
cp "$exe" "$stage/orvane.exe"
cp "$source_dir"/wave/*.wav "$stage/wave/"
crlf "$source_dir/packaging/windows/orvane.cfg" "$stage/orvane.cfg"
crlf "$source_dir/packaging/windows/README-windows.txt" "$stage/README-windows.txt"
crlf "$source_dir/LICENSE" "$stage/COPYING.txt"
crlf "$source_dir/packaging/windows/NOTICE.txt" "$stage/NOTICE.txt"
