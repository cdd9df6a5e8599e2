#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test: the unit tests, the
# GUI tests (each starts an X server of its own), and the unit tests once more
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export CCACHE_NOHASHDIR=1

scripts/build.sh
ctest --test-dir build --output-on-failure --timeout 600

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVEXELOR_SANITIZE=ON -DVEXELOR_BENCH=OFF >/dev/null
cmake --build build-sanitize -j "$(nproc)" --target unit_tests
ctest --test-dir build-sanitize -L unit --output-on-failure --timeout 600

# The Debian package, built from build/ and checked as Debian checks it, then
# run unpacked.
scripts/package.sh >/dev/null
python3 tests/package/test_deb.py build/vexelor_*.deb

# Windows: both programs and the unit tests cross-built with mingw-w64
# (scripts/build-windows.sh, into build-windows/), the unit tests, the
# programs' checks and their GUI tests (label wingui) run under Wine in a
# prefix of that build tree.
scripts/build-windows.sh
ctest --test-dir build-windows --output-on-failure --timeout 600
