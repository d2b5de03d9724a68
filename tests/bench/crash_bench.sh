#!/usr/bin/env bash
# The long crash test of the job server (tests/bench/crash_test.py): builds the server and
# velka-sim in build-bench/ and kills the server at random moments of 200 jobs at 9600 baud.
# Arguments go to crash_test.py (--runs N, --seed S, --baud 115200, --keep).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${VELKA_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target TMVVelka VelkaDriverServer velka-sim -j2 >/dev/null
exec python3 tests/bench/crash_test.py --server "$build/control/VelkaDriverServer" \
  --sim "$build/sim/velka-sim" --runs 200 "$@"
