#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (as root, or through sudo).
set -euo pipefail
packages=(build-essential cmake g++ clang libclang-rt-14-dev googletest libgtest-dev
          libgmock-dev libbenchmark-dev python3 clang-format)
# The server's window: Qt 6 Widgets, its SVG icons, its platform plugins (X11 and Wayland)
# and a font; for the window's tests a virtual X server and ImageMagick's import for the
# screenshots.
packages+=(qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-wayland fonts-dejavu-core xvfb xauth
           imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
