#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  the AddressSanitizer + UndefinedBehaviorSanitizer build, in build-asan/
# Warnings are errors in both (VELKA_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DVELKA_SANITIZE=ON -DVELKA_BENCH=OFF -DVELKA_WERROR=ON)
fi
cmake -S . -B "$build" "${flags[@]}"
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300
