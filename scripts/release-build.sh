#!/usr/bin/env bash
# A Release build as a Debian packager makes it: the default compiler flags of dpkg-buildflags
# (-O2 -g -fstack-protector-strong -D_FORTIFY_SOURCE=2 -Wformat -Werror=format-security ...),
# installed under /usr, without the tests and benchmarks, warnings as errors (the project's own
# check that such a build stays clean).
#   scripts/release-build.sh [gcc|clang] [BUILD]    (default gcc, build-release-<compiler>)
set -euo pipefail
cd "$(dirname "$0")/.."
compiler=${1:-gcc}
build=${2:-build-release-$compiler}
case "$compiler" in
  gcc) cc=gcc cxx=g++ ;;
  clang) cc=clang cxx=clang++ ;;
  *) echo "release-build.sh: the compiler is gcc or clang" >&2; exit 2 ;;
esac
scripts/install-deps.sh --packaging

# CMake takes CFLAGS, CXXFLAGS and LDFLAGS from the environment at the first configuration;
# the preprocessor's flags go with the compilers'.
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DVELKA_TESTS=OFF -DVELKA_BENCH=OFF -DVELKA_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
