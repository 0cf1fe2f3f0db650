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
  address,undefined) name=asan; args+=(-DPATTIX_SANITIZE_ADDRESS=ON) ;;
  thread) name=tsan; args+=(-DPATTIX_SANITIZE_THREAD=ON) ;;
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
