#!/usr/bin/env bash
# Peak memory of one pattix frame laid out wide (4000000x1) and the same bytes laid out tall
# (1x4000000), in the same run. The rows go out in batches rather than through a table of every
# row, so the tall picture should take no more than the wide one: a table of 4,000,000 rows and
# its copy would add some 128 MB to the 16 MB frame.
#
# Usage: bench/pattix_memory.sh   (builds the release tree first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" release >/dev/null
python3 - "$root/build/release/bin/pattix" <<'PY'
import os, subprocess, sys
peak = {}
for size in ("4000000x1", "1x4000000"):
    child = subprocess.Popen([sys.argv[1], "-s", size, "-o", "-"], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"pattix -s {size} failed")
    peak[size] = usage.ru_maxrss
for size, kib in peak.items():
    print(f"{size:>10}  {kib / 1024:7.1f} MiB peak")
print(f"tall / wide: {peak['1x4000000'] / peak['4000000x1']:.2f}")
PY
