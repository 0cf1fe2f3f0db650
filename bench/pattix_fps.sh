#!/usr/bin/env bash
# Frames per second of `pattix -s 1080 -n FRAMES -o - > /dev/null` for "SMPTE Colour Bars" and
# "RGB Crossed Ramp" at both depths, and in the same run its peers making 1920x1080 frames of the
# same layout (rgba, rgba64le), in two groups:
#
#   renders every frame  GStreamer videotestsrc pattern=smpte (drawn anew for every buffer),
#                        FFmpeg testsrc2 (drawn for every frame; rgba natively, rgba64le through
#                        swscale)
#   default, cached      GStreamer videotestsrc pattern=smpte75 (drawn once, copied into every
#                        buffer), FFmpeg smptebars (drawn once in YUV, converted for every frame)
#
# Pattix renders every frame through the module. The commands take turns within each of RUNS
# rounds, so that load that comes and goes falls on all of them; each counts with its median
# round, which a lucky quiet moment or an unlucky busy one does not move. FFmpeg,
# some ten times slower than the others, makes a fifth of the frames (its start-up is still under
# a tenth of its run).
#
# Usage: bench/pattix_fps.sh               (FRAMES=500 RUNS=5 by default)
#        bench/loaded.sh 2 bench/pattix_fps.sh   (the same with two busy processes running)
# Builds the release tree first; installs ffmpeg and the GStreamer tools with apt-get if missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
frames=${FRAMES:-500}
runs=${RUNS:-5}
ffmpeg_frames=$((frames / 5 > 20 ? frames / 5 : 20))

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

pattix_run() {  # pattix_run <pattern> <depth>
  "$pattix" -p "$1" -s 1080 --depth "$2" -n "$frames" -o -
}
gst_run() {  # gst_run <pattern> <format>
  gst-launch-1.0 -q videotestsrc pattern="$1" num-buffers="$frames" \
    ! "video/x-raw,format=$2,width=1920,height=1080" ! fakesink
}
ffmpeg_run() {  # ffmpeg_run <source> <pix_fmt>
  ffmpeg -v error -f lavfi -i "$1=size=1920x1080,format=$2" -frames:v "$ffmpeg_frames" -f rawvideo -
}

# depth|name, group (pattix, every: renders every frame, cached), frames made, command.
declare -a names groups counts commands
add() {
  names+=("$1")
  groups+=("$2")
  counts+=("$3")
  shift 3
  commands+=("$*")
}
for depth in 8 16; do
  if [[ $depth == 8 ]]; then gst_format=RGBA; ffmpeg_format=rgba; else gst_format=RGBA64_LE; ffmpeg_format=rgba64le; fi
  add "$depth|pattix SMPTE Colour Bars" pattix "$frames" pattix_run smpte "$depth"
  add "$depth|pattix RGB Crossed Ramp" pattix "$frames" pattix_run rgb-crossed-ramp "$depth"
  add "$depth|videotestsrc smpte $gst_format" every "$frames" gst_run smpte "$gst_format"
  add "$depth|ffmpeg testsrc2 $ffmpeg_format" every "$ffmpeg_frames" ffmpeg_run testsrc2 "$ffmpeg_format"
  add "$depth|videotestsrc smpte75 $gst_format" cached "$frames" gst_run smpte75 "$gst_format"
  add "$depth|ffmpeg smptebars $ffmpeg_format" cached "$ffmpeg_frames" ffmpeg_run smptebars "$ffmpeg_format"
done

declare -a rates typical
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((run = 0; run < runs; run++)); do
  for ((i = 0; i < ${#names[@]}; i++)); do
    start=$EPOCHREALTIME
    ${commands[i]} >/dev/null 2>&1
    end=$EPOCHREALTIME
    rates[i]+=" $(awk -v f="${counts[i]}" -v s="$start" -v e="$end" 'BEGIN { printf "%.0f", f / (e - s) }')"
  done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
for ((i = 0; i < ${#names[@]}; i++)); do
  typical[i]=$(tr ' ' '\n' <<<"${rates[i]}" | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
done

printf '1920x1080, %s frames (FFmpeg %s), median of %s rounds; load average %s before, %s after\n' \
  "$frames" "$ffmpeg_frames" "$runs" "$load_before" "$load_after"
for depth in 8 16; do
  printf '\n%-56s %9s\n' "$depth-bit" "frames/s"
  every=0 cached=0 bars=0 ramp=0
  for ((i = 0; i < ${#names[@]}; i++)); do
    [[ ${names[i]%%|*} == "$depth" ]] || continue
    label=${names[i]#*|}
    case ${groups[i]} in
      pattix) suffix="" ;;
      every) suffix=" (renders every frame)"; ((typical[i] > every)) && every=${typical[i]} ;;
      cached) suffix=" (default, cached)"; ((typical[i] > cached)) && cached=${typical[i]} ;;
    esac
    [[ $label == *SMPTE* && ${groups[i]} == pattix ]] && bars=${typical[i]}
    [[ $label == *Ramp* && ${groups[i]} == pattix ]] && ramp=${typical[i]}
    printf '%-56s %9s\n' "$label$suffix" "${typical[i]}"
  done
  awk -v b="$bars" -v r="$ramp" -v e="$every" -v c="$cached" 'BEGIN {
    printf "  pattix / fastest peer rendering every frame: bars %.2fx, ramp %.2fx\n", b / e, r / e
    printf "  pattix / fastest cached peer:                bars %.2fx, ramp %.2fx\n", b / c, r / c }'
done
