#!/usr/bin/env bash
# Asynchronous mode through the C surface (tests/bench/async_bench.py): builds the control and
# velka-sim in build-bench/ and runs a batch of receipts queued with AsyncMode True, and the
# same sent synchronously, at 115200 baud. Arguments go to async_bench.py (--jobs N, ...).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${VELKA_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_TESTS=OFF >/dev/null
cmake --build "$build" --target TMVVelka velka-sim -j2 >/dev/null
PYTHONPATH=python exec python3 tests/bench/async_bench.py --library "$build/control/libTMVVelka.so" \
  --sim "$build/sim/velka-sim" "$@"
