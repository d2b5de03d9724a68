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
retry=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DVELKA_SANITIZE=ON -DVELKA_BENCH=OFF -DVELKA_WERROR=ON)
  # The leak checker of Debian 12's sanitizers now and then crashes at a test's exit while it
  # scans the thread storage of the control loaded with dlopen ("Tracer caught signal 11",
  # about one test in a thousand under load). Leaving thread storage out of the scan reports
  # false leaks (dlerror's buffer, Qt's), so a test that fails gets one more run here; the
  # normal build above runs every test once.
  retry=(--repeat until-pass:2)
fi
cmake -S . -B "$build" "${flags[@]}"
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300 "${retry[@]}"
