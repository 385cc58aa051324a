#!/usr/bin/env bash
# The frei0r effect's speed in ffmpeg: 1080p frames per second through
# ffmpeg's frei0r filter with vardelk.so against the same pipeline without
# it (decode, conversion to RGBA, no output), the effect's own wall-clock
# time per frame (the difference), and beside it the module's per-frame
# time: the codec alone on a 1080p frame in the host's format, one thread
# (benchmarks/vardelk_bench, Frame/avx2 or sse2/1920x1080/progressive).
# Best of three runs each; the effect uses every core over macroblock rows.
# The load average comes first: on a shared machine the wall-clock figures
# follow the other jobs, and the CPU figures are the ones to compare.
#
# Usage: scripts/bench_frei0r.sh [build folder] [frames] [scale code]
#   defaults: build/native, 60 frames of a 1080p pan over the libjxl test
#   photograph (or ffmpeg's testsrc2 without libjxl-testdata), scale code 8.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
frames=${2:-60}
scale=${3:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
plugin=$build/frei0r/vardelk.so
bench=$build/benchmarks/vardelk_bench
command -v ffmpeg >/dev/null || { echo "bench_frei0r: ffmpeg not found" >&2; exit 1; }
[ -f "$plugin" ] || { echo "bench_frei0r: $plugin not built" >&2; exit 1; }

photo=/usr/share/libjxl-testdata/jxl/flower/flower.png.ffmpeg.y4m
clip=$work/clip.y4m
if [ -r "$photo" ]; then
  ffmpeg -nostdin -v error -y -i "$photo" \
    -vf "loop=loop=$((frames - 1)):size=1:start=0,crop=1920:1080:'8*n':'4*n',format=yuv420p" \
    -frames:v "$frames" -f yuv4mpegpipe "$clip"
else
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$frames" "$clip"
fi

value=$(awk -v s="$scale" 'BEGIN { printf "%.6f", (s - 1) / 30 }')
# best FILTER: the fastest of three runs of the pipeline: wall-clock and
# CPU seconds (user and system, every thread).
best() {
  local best="" t
  for _ in 1 2 3; do
    t=$( { /usr/bin/time -f '%e %U %S' env FREI0R_PATH="$(dirname "$plugin")" ffmpeg -nostdin -v error -i "$clip" \
      -vf "format=rgba,$1" -f null - ; } 2>&1 | tail -1)
    if [ -z "$best" ] || awk -v a="${t%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}
# The load before this script's own runs add to it.
load=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown)
without=$(best null)
with=$(best "frei0r=filter_name=vardelk:filter_params=$value")
awk -v n="$frames" -v a="$without" -v b="$with" -v s="$scale" -v load="$load" 'BEGIN {
  split(a, x, " "); split(b, y, " ")
  printf "ffmpeg, %d frames of 1920x1080, scale code %d (best of three), load average %s\n", n, s, load
  printf "  without the effect  %7.1f frames/s\n", n / x[1]
  printf "  with vardelk.so     %7.1f frames/s\n", n / y[1]
  printf "  the effect alone, per frame: %.1f ms wall clock, %.1f ms CPU\n", (y[1] - x[1]) * 1000 / n,
         (y[2] + y[3] - x[2] - x[3]) * 1000 / n
}'
if [ -x "$bench" ]; then
  for family in avx2 sse2; do
    line=$("$bench" --benchmark_filter="^Frame/$family/1920x1080/progressive\$" --benchmark_repetitions=3 \
      --benchmark_report_aggregates_only=true 2>/dev/null | grep '_median' || true)
    [ -n "$line" ] || continue
    awk -v f="$family" '{ printf "  the module codec per frame (%s, one thread): %.1f ms wall, %.1f ms CPU\n", f, $2 / 1e6, $4 / 1e6 }' <<< "$line"
    break
  done
fi
