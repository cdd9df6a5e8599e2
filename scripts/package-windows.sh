#!/usr/bin/env bash
# Builds the Windows package: build-windows/vexelor-<version>-windows-x64.zip
# (or in $WIN_BUILD_DIR), holding vexelor.exe, vexelor-jpeg.exe and a read-me.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${WIN_BUILD_DIR:-build-windows}"
scripts/build-windows.sh --target vexelor --target vexelor-jpeg
rm -f "$build"/vexelor-*-windows-x64.zip
(cd "$build" && cpack -G ZIP >/dev/null)
ls "$build"/vexelor-*-windows-x64.zip
