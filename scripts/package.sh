#!/usr/bin/env bash
# Builds the Debian package velka-driver_<version>_<arch>.deb in build-deb/: the g++ Release
# build with Debian's flags (release-build.sh), packed by CPack from the install rules, so
# the package and `cmake --install` can never disagree. Prints the package's path last.
#   scripts/package.sh [BUILD]    (default build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
scripts/release-build.sh gcc "$build"
rm -f "$build"/velka-driver_*.deb
cmake --build "$build" --target package >/dev/null
ls "$build"/velka-driver_*.deb
