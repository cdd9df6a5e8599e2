#!/usr/bin/env bash
# Builds the Debian package: build/vexelor_<version>_amd64.deb (or in $BUILD_DIR).
# The binaries come from the ordinary build, stripped; Depends comes from
# dpkg-shlibdeps. Install it with: sudo apt install ./build/vexelor_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
scripts/install-deps.sh
scripts/build.sh
rm -f "$build"/vexelor_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vexelor_*.deb
