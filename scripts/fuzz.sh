#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one in turn.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target (default 60); TARGET names (default: every target built). New inputs
# are kept in build-fuzz/corpus/<target>/; seeds come from tests/fuzz/<target>.corpus/.
# A crash, a leak or a hang (an input that runs past 10 s) stops the script with the target's
# report and a non-zero exit status, and leaves the input in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
case "$seconds" in '' | *[!0-9]*) echo "fuzz.sh: SECONDS must be a number" >&2; exit 2 ;; esac
scripts/install-deps.sh  # clang and its libFuzzer runtime (libclang-rt-14-dev) among them

instrument="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$instrument" -DCMAKE_CXX_FLAGS="$instrument" \
  -DVELKA_FUZZ=ON -DVELKA_BENCH=OFF -DVELKA_WERROR=ON >/dev/null
cmake --build build-fuzz --target velka_fuzz -j2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  while IFS= read -r path; do targets+=("$(basename "$path")"); done < <(
    find build-fuzz/tests/fuzz -maxdepth 1 -type f -perm -u+x -name '*_fuzz' | sort)
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz.sh: no fuzz targets were built" >&2; exit 1; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  seeds=()
  [ -d "tests/fuzz/$target.corpus" ] && seeds=("tests/fuzz/$target.corpus")
  echo "== $target: $seconds s"
  (cd build-fuzz && "./tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "../$corpus" "${seeds[@]/#/../}")
done
