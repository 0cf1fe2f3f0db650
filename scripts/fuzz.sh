#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang under the address and undefined-behaviour
# sanitizers, and runs each for PATTIX_FUZZ_SECONDS (default 60) from its seed corpus.
# Usage: scripts/fuzz.sh [target...]   (default: every target)
# Inputs that find new paths collect in build/fuzz/corpus/<target>; a crashing input is saved as
# build/fuzz/crash-<target>-* and fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${PATTIX_FUZZ_SECONDS:-60}
targets=("$@")
((${#targets[@]})) || targets=(value_parsers_fuzzer preset_fuzzer)
"$root/scripts/deps.sh"
build=$root/build/fuzz
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPATTIX_FUZZ=ON -DPATTIX_BUILD_TESTS=OFF -DPATTIX_BUILD_BENCH=OFF \
  -DPATTIX_WERROR="${CI:+ON}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
  echo "pattix: fuzzing $target for ${seconds}s" >&2
  "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/crash-$target-" \
    "$build/corpus/$target" "$root/tests/fuzz/corpus/$target"
done
