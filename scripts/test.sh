#!/usr/bin/env bash
# Builds Pattix and runs every test under CTest.
# PATTIX_SANITIZE=address,undefined or PATTIX_SANITIZE=thread builds and tests a sanitized tree.
# PATTIX_COMPILER=clang builds with clang (Debian's clang-14) instead of GCC, in a tree of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sanitize=${PATTIX_SANITIZE:-}
name=test
args=(-DPATTIX_WERROR="${CI:+ON}")
case "$sanitize" in
  "") ;;
  # Sanitized trees build what their tests use: no benchmarks; the thread-sanitized one runs the
  # threaded suites only, so it does not build the manual either (Pango's own start-up thread is
  # not instrumented and would be reported while the manual is written).
  address,undefined) name=asan; args+=(-DPATTIX_SANITIZE_ADDRESS=ON -DPATTIX_BUILD_BENCH=OFF) ;;
  thread) name=tsan; args+=(-DPATTIX_SANITIZE_THREAD=ON -DPATTIX_BUILD_BENCH=OFF -DPATTIX_BUILD_MANUAL=OFF) ;;
  *) echo "scripts/test.sh: PATTIX_SANITIZE='$sanitize' is not one of: address,undefined, thread" >&2; exit 2 ;;
esac
case "${PATTIX_COMPILER:-gcc}" in
  gcc) ;;
  clang) name+=-clang; export CC=clang-14 CXX=clang++-14 ;;
  *) echo "scripts/test.sh: PATTIX_COMPILER='$PATTIX_COMPILER' is not one of: gcc, clang" >&2; exit 2 ;;
esac
"$root/scripts/build.sh" "$name" "${args[@]}"
cd "$root/build/$name"
ctest --output-on-failure -j "$(nproc)" ${PATTIX_TEST_LABELS:+-L "$PATTIX_TEST_LABELS"}
