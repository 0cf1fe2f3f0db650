#!/usr/bin/env bash
# Configures and builds Pattix into build/<name> (default build/release).
# Usage: scripts/build.sh [name] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:-release}
shift || true
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/build/$name" -j "$(nproc)"
