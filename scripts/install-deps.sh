#!/usr/bin/env bash
# Installs what building, running and testing Vexelor needs on Debian or Ubuntu.
set -euo pipefail
packages=(
  build-essential cmake ccache pkg-config
  libfltk1.3-dev libx11-dev libpng-dev libjpeg-dev
  libgtest-dev libbenchmark-dev
  xvfb xdotool imagemagick x11-utils python3
  # The Debian package (scripts/package.sh) and its checks
  dpkg-dev file lintian desktop-file-utils appstream man-db
)
# The Windows cross-build (scripts/build-windows.sh) and its tests under Wine.
packages+=(
  g++-mingw-w64-x86-64 libz-mingw-w64-dev nasm dpkg-dev ninja-build googletest
  wine wine64 fonts-wine
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
