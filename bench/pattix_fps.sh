#!/usr/bin/env bash
# Frames per second of `pattix -s 1080 -n 1000 -o - > /dev/null` for "SMPTE Colour Bars" and
# "RGB Crossed Ramp" at both depths, and in the same run the peers making the same frames:
# GStreamer's videotestsrc (RGBA / ARGB64) and FFmpeg's smptebars (rgba / rgba64le).
#
# Usage: bench/pattix_fps.sh            (FRAMES=1000 RUNS=3 by default; the best run counts)
# Builds the release tree first; installs ffmpeg and gstreamer1.0-tools with apt-get if missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
frames=${FRAMES:-1000}
runs=${RUNS:-3}

missing=()
command -v ffmpeg >/dev/null || missing+=(ffmpeg)
command -v gst-launch-1.0 >/dev/null || missing+=(gstreamer1.0-tools gstreamer1.0-plugins-base)
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$root/scripts/build.sh" release >/dev/null
pattix="$root/build/release/bin/pattix"

# Best frames per second of a command over $runs runs; the command writes its frames to stdout.
fps() {
  local best=0 start end rate
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    rate=$(awk -v f="$frames" -v s="$start" -v e="$end" 'BEGIN { printf "%.0f", f / (e - s) }')
    if ((rate > best)); then best=$rate; fi
  done
  echo "$best"
}

gst() {  # gst <format>
  gst-launch-1.0 -q videotestsrc pattern=smpte75 num-buffers="$frames" \
    ! "video/x-raw,format=$1,width=1920,height=1080" ! fakesink
}
ffm() {  # ffm <pix_fmt>
  ffmpeg -v error -f lavfi -i smptebars=size=1920x1080 -frames:v "$frames" -pix_fmt "$1" -f rawvideo -
}

printf '%-44s %10s\n' "1920x1080, $frames frames, best of $runs" "frames/s"
for depth in 8 16; do
  if [[ $depth == 8 ]]; then gst_format=RGBA; ffmpeg_format=rgba; else gst_format=ARGB64; ffmpeg_format=rgba64le; fi
  smpte=$(fps "$pattix" -p smpte -s 1080 --depth "$depth" -n "$frames" -o -)
  crossed=$(fps "$pattix" -p rgb-crossed-ramp -s 1080 --depth "$depth" -n "$frames" -o -)
  gst_rate=$(fps gst "$gst_format")
  ffmpeg_rate=$(fps ffm "$ffmpeg_format")
  faster=$((gst_rate > ffmpeg_rate ? gst_rate : ffmpeg_rate))
  printf '%-44s %10s\n' "pattix SMPTE Colour Bars, $depth-bit" "$smpte" \
    "pattix RGB Crossed Ramp, $depth-bit" "$crossed" \
    "gst-launch-1.0 videotestsrc smpte75 $gst_format" "$gst_rate" \
    "ffmpeg smptebars $ffmpeg_format" "$ffmpeg_rate"
  awk -v s="$smpte" -v c="$crossed" -v f="$faster" \
    'BEGIN { printf "  pattix / faster peer: bars %.2fx, ramp %.2fx\n", s / f, c / f }'
done
