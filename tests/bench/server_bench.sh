#!/usr/bin/env bash
# The job server's whole-program benchmark (tests/bench/server_bench.py): builds the server
# and velka-sim in build-bench/ and runs a batch of receipt jobs at 115200 baud with a
# 1-second polling period, and times the job journal's writes (journal_cost). Arguments go to
# server_bench.py (--jobs N, --baud 9600, ...).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${VELKA_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target TMVVelka VelkaDriverServer velka-sim journal_cost -j2 >/dev/null
exec python3 tests/bench/server_bench.py --server "$build/control/VelkaDriverServer" \
  --sim "$build/sim/velka-sim" --journal-cost "$build/tests/bench/journal_cost" "$@"
