#!/usr/bin/env bash
# Runs a command while BUSY processes (`yes > /dev/null`) keep the processors busy, as a host
# machine with other work is, so that a figure can be checked on a loaded machine too:
#
#   bench/loaded.sh 2 build/release/bin/generators_bench
#   bench/loaded.sh 2 bench/pattix_fps.sh
#
# The busy processes are stopped when the command ends, however it ends. The load average before
# and after goes to standard error: other work on the machine counts too.
set -euo pipefail
if (($# < 2)) || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: bench/loaded.sh BUSY COMMAND [ARGUMENTS...]  (BUSY: how many busy processes)" >&2
  exit 2
fi
busy=$1
shift
pids=()
stop_busy() {
  if ((${#pids[@]})); then
    kill "${pids[@]}" 2>/dev/null || true
    wait "${pids[@]}" 2>/dev/null || true
  fi
}
trap stop_busy EXIT
for ((i = 0; i < busy; i++)); do
  yes >/dev/null &
  pids+=($!)
done
echo "bench/loaded.sh: $busy busy processes; before: $(uptime)" >&2
status=0
"$@" || status=$?
echo "bench/loaded.sh: after: $(uptime)" >&2
exit "$status"
