#!/usr/bin/env bash
# Builds Pattix and renders the default test pattern with the command-line host.
# Any arguments are passed on to pattix (try --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" release
exec "$root/build/release/bin/pattix" "$@"
