#!/usr/bin/env bash
# Installs the dependencies, builds, and opens the viewer on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/vexelor samples/sprites.bin
