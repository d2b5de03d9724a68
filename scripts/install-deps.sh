#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (as root, or through sudo),
# and generates the Italian locale that the test of numbers read whatever the process's
# locale needs.
#   scripts/install-deps.sh [--packaging]   --packaging: also what the Debian package's build
#                                           and its check need
set -euo pipefail
packages=(build-essential cmake g++ clang libclang-rt-14-dev googletest libgtest-dev
          libgmock-dev libbenchmark-dev python3 clang-format locales)
# The server's window: Qt 6 Widgets, its SVG icons, its platform plugins (X11 and Wayland)
# and a font; for the window's tests a virtual X server and ImageMagick's import for the
# screenshots.
packages+=(qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-wayland fonts-dejavu-core xvfb xauth
           imagemagick)
# The package: dpkg-buildflags and dpkg-shlibdeps, file (CPack's search for programs),
# systemd-analyze for the unit, pkg-config for its C surface, and adduser for its account.
if [ "${1:-}" = "--packaging" ]; then
  packages+=(dpkg-dev file systemd adduser pkg-config)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'it_IT.utf8'; then
  $SUDO localedef -i it_IT -c -f UTF-8 it_IT.UTF-8
fi
