#!/usr/bin/env bash
# Times our command-line front end against ffmpeg's mpeg2video encoder piped
# into its decoder on the same clip, one thread each, and prints the CPU time
# per frame of both, their ratio, and a memory-floor pass (reading the clip
# and writing it out unchanged) for comparison. Then the wall-clock gain of
# two threads over one, on the clip and on a sweep, and the time of the
# comparison picture of a 2268x1512 photograph.
#
# When the benchmark program sits in the same build (benchmarks/vardelk_bench)
# it also prints the codec alone on a 1920x1080 frame in memory (no Y4M
# reading, colour conversion or writing) against the same ffmpeg figure.
#
# Usage: scripts/compare_speed.sh [vardelk binary] [clip.y4m] [frames] [scale code]
#   defaults: build/native/cli/vardelk, a 1920x1080 clip made from the
#   libjxl test photograph (30 frames, panning), 30 frames, scale code 8.
# Settings on both sides: intra only, default intra matrix, linear scale,
# intra VLC, 11-bit DC, zigzag scan, progressive DCT; and our clip once more
# with the ffmpeg coding model (its accurate transform, quantiser, AC table
# and 8-bit DC), beside the filter's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vardelk=${1:-$root/build/native/cli/vardelk}
clip=${2:-}
frames=${3:-30}
scale=${4:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in ffmpeg "$vardelk"; do
  command -v "$tool" >/dev/null || { echo "compare_speed: $tool not found" >&2; exit 1; }
done

if [[ -z $clip ]]; then
  photo=/usr/share/libjxl-testdata/jxl/flower/flower.png.ffmpeg.y4m
  [[ -r $photo ]] || { echo "compare_speed: give a clip, or install libjxl-testdata" >&2; exit 1; }
  clip=$work/clip.y4m
  ffmpeg -hide_banner -loglevel error -y -i "$photo" \
    -vf "loop=loop=$((frames - 1)):size=1:start=0,crop=1920:1080:'8*n':'4*n',format=yuv420p" \
    -frames:v "$frames" -f yuv4mpegpipe "$clip"
fi

# CPU seconds (user + system, children included) of one shell command.
cpu_seconds() {
  local out
  out=$( { /usr/bin/time -f '%U %S' bash -c "$1" >/dev/null; } 2>&1 | tail -n 1)
  awk -v u="${out% *}" -v s="${out#* }" 'BEGIN { printf "%.3f", u + s }'
}

# Best of three, to damp other load on the machine.
best_of_three() {
  local best="" t
  for _ in 1 2 3; do
    t=$(cpu_seconds "$1")
    if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

cat "$clip" >/dev/null  # warm the page cache for every contender

ours=$(best_of_three "'$vardelk' -j 1 -q -i '$clip' -n $frames -s $scale -o /dev/null")
ours_ffmpeg=$(best_of_three "'$vardelk' -j 1 -q -i '$clip' -n $frames -s $scale --encoder ffmpeg -o /dev/null")
theirs=$(best_of_three "ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -i '$clip' -frames:v $frames \
  -threads 1 -c:v mpeg2video -g 1 -qscale:v $scale -intra_vlc 1 -dc 11 -f mpeg2video - \
  | ffmpeg -hide_banner -loglevel error -threads 1 -f mpegvideo -i - -f rawvideo -y /dev/null")
floor=$(best_of_three "head -c \$(stat -c %s '$clip') '$clip' > '$work/floor.y4m'")

# Wall-clock seconds of one shell command (to the millisecond), best of three.
wall_seconds() {
  local best="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT=%3R; time bash -c "$1" >/dev/null 2>&1; } 2>&1 | tail -n 1)
    if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}
clip1=$(wall_seconds "'$vardelk' -j 1 -q -i '$clip' -n $frames -s $scale -o /dev/null")
clip2=$(wall_seconds "'$vardelk' -j 2 -q -i '$clip' -n $frames -s $scale -o /dev/null")
sweep1=$(wall_seconds "'$vardelk' -j 1 -q -i '$clip' -n 2 --sweep -m default -m flat16")
sweep2=$(wall_seconds "'$vardelk' -j 2 -q -i '$clip' -n 2 --sweep -m default -m flat16")
photo=/usr/share/libjxl-testdata/jxl/flower/flower.png.ffmpeg.y4m
picture=""
[[ -r $photo ]] && picture=$(wall_seconds "'$vardelk' -q -i '$photo' -s $scale --picture '$work/picture.png'")

bench=$(dirname "$vardelk")/../benchmarks/vardelk_bench
codec_ms="" floor_ms=""
if [[ -x $bench ]]; then
  # cpu_time column of the CSV report, in ns per frame.
  csv=$("$bench" --benchmark_filter='^(Frame/avx2/1920x1080/progressive|MemoryFloor/1920x1080)$' \
        --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)
  codec_ms=$(awk -F, '/Frame\/avx2.*_median/ { gsub(/"/, ""); print $4 / 1e6; exit }' <<<"$csv")
  floor_ms=$(awk -F, '/MemoryFloor.*_median/ { gsub(/"/, ""); print $4 / 1e6; exit }' <<<"$csv")
fi

awk -v ours="$ours" -v model="$ours_ffmpeg" -v theirs="$theirs" -v floor="$floor" -v n="$frames" 'BEGIN {
  printf "clip frames                      %d\n", n
  printf "vardelk (read, code, write)      %8.2f ms/frame CPU\n", 1000 * ours / n
  printf "the same, --encoder ffmpeg       %8.2f ms/frame CPU  (%.3f x filter; target <= 1.1)\n", 1000 * model / n, model / ours
  printf "ffmpeg mpeg2video enc | dec      %8.2f ms/frame CPU\n", 1000 * theirs / n
  printf "memory floor (read + write clip) %8.2f ms/frame CPU\n", 1000 * floor / n
  printf "ratio vardelk / ffmpeg           %8.3f  (target <= 0.5)\n", ours / theirs
  printf "gap to the floor                 %8.2f ms/frame\n", 1000 * (ours - floor) / n
}'
awk -v c1="$clip1" -v c2="$clip2" -v s1="$sweep1" -v s2="$sweep2" -v p="$picture" 'BEGIN {
  printf "clip wall, 1 thread / 2 threads  %6.3f s / %6.3f s = %5.2fx  (target >= 1.8)\n", c1, c2, c1 / c2
  printf "sweep wall, 1 thread / 2 threads %6.3f s / %6.3f s = %5.2fx  (target >= 1.8)\n", s1, s2, s1 / s2
  if (p != "") printf "--picture of the 2268x1512 photo %6.2f s wall  (target <= 0.5)\n", p
}'
if [[ -n $codec_ms ]]; then
  awk -v c="$codec_ms" -v f="$floor_ms" -v theirs="$theirs" -v n="$frames" 'BEGIN {
    printf "codec alone, 1920x1080 in memory %8.2f ms/frame CPU (median of 3)\n", c
    printf "in-memory floor (copy the frame) %8.2f ms/frame CPU\n", f
    printf "ratio codec alone / ffmpeg       %8.3f  (target <= 0.5)\n", c / (1000 * theirs / n)
  }'
fi
