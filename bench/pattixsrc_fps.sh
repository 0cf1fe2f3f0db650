#!/usr/bin/env bash
# Frames per second of `pattixsrc ! fakesink` next to GStreamer's own `videotestsrc ! fakesink`,
# at 1920x1080 in RGBA and RGBA64_LE, in the same run: first on the machine as it is, then
# loaded with two `yes > /dev/null`.
#
# videotestsrc draws a still pattern such as smpte75 once and then copies that frame into each
# buffer; with horizontal-speed=1 the pattern moves a pixel per frame, which makes it draw every
# frame (the same drawing, shifted). Both are measured; pattixsrc always draws every frame.
# The rate is taken from gst-launch-1.0's own "Execution ended after" time, so loading the
# plug-ins is not counted.
#
# Usage: bench/pattixsrc_fps.sh     (FRAMES=1000 RUNS=3 by default; the best run counts)
# Builds the release tree first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
frames=${FRAMES:-1000}
runs=${RUNS:-3}

"$root/scripts/build.sh" release >/dev/null
export GST_PLUGIN_PATH="$root/build/release/lib/gstreamer-1.0"
export GST_REGISTRY="$root/build/release/gst-registry.bin"

# Best frames per second of a pipeline over $runs runs.
fps() {
  local best=0 rate
  for ((i = 0; i < runs; i++)); do
    rate=$(gst-launch-1.0 "$@" num-buffers="$frames" ! "video/x-raw,format=$format,width=1920,height=1080" \
             ! fakesink 2>&1 |
           awk -v f="$frames" '/Execution ended after/ {
             split($4, t, ":"); printf "%.0f", f / (t[1] * 3600 + t[2] * 60 + t[3]) }')
    if ((rate > best)); then best=$rate; fi
  done
  echo "$best"
}

table() {
  printf '%-58s %10s %10s\n' "1920x1080, $frames frames, best of $runs; $1" RGBA RGBA64_LE
  local -A rate
  for format in RGBA RGBA64_LE; do
    rate[smpte,$format]=$(fps pattixsrc pattern=smpte)
    rate[ramp,$format]=$(fps pattixsrc pattern=rgb-crossed-ramp)
    rate[every,$format]=$(fps videotestsrc pattern=smpte75 horizontal-speed=1)
    rate[cached,$format]=$(fps videotestsrc pattern=smpte75)
  done
  printf '%-58s %10s %10s\n' \
    "pattixsrc pattern=smpte" "${rate[smpte,RGBA]}" "${rate[smpte,RGBA64_LE]}" \
    "pattixsrc pattern=rgb-crossed-ramp" "${rate[ramp,RGBA]}" "${rate[ramp,RGBA64_LE]}" \
    "videotestsrc pattern=smpte75 horizontal-speed=1 (draws)" "${rate[every,RGBA]}" "${rate[every,RGBA64_LE]}" \
    "videotestsrc pattern=smpte75 (default: draws once, copies)" "${rate[cached,RGBA]}" "${rate[cached,RGBA64_LE]}"
  awk -v a="${rate[smpte,RGBA]}" -v b="${rate[smpte,RGBA64_LE]}" \
      -v ea="${rate[every,RGBA]}" -v eb="${rate[every,RGBA64_LE]}" \
      -v ca="${rate[cached,RGBA]}" -v cb="${rate[cached,RGBA64_LE]}" 'BEGIN {
    printf "%-58s %9.2fx %9.2fx\n", "  pattixsrc smpte / videotestsrc drawing every frame", a / ea, b / eb
    printf "%-58s %9.2fx %9.2fx\n", "  pattixsrc smpte / videotestsrc default", a / ca, b / cb }'
}

table "load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
load=()
trap 'for pid in "${load[@]}"; do kill "$pid" 2>/dev/null; done' EXIT
for _ in 1 2; do
  yes >/dev/null &
  load+=($!)
done
sleep 5  # let the load average see them
table "with two 'yes', load $(cut -d' ' -f1-3 /proc/loadavg)"
