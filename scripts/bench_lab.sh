#!/usr/bin/env bash
# Prints how long the matrix lab takes to recompute a 1920x1080 photo after a
# change, in headless chromium, with and without wasm SIMD.
# Usage: scripts/bench_lab.sh [CHANGES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
"$root/scripts/build_lab.sh" >/dev/null
picture=$out/lab/bench-1080p.png
if [ ! -f "$picture" ]; then
  # The 2268x1512 photo of the test data, scaled and cropped to 1080p.
  convert /usr/share/libjxl-testdata/jxl/flower/flower.png.im_q85_444.jpg +repage -resize 1920x1080^ \
    -gravity center -extent 1920x1080 -strip "PNG24:$picture.tmp" && mv "$picture.tmp" "$picture"
fi
exec /usr/bin/python3 "$root/tests/lab/bench_recompute.py" "$out/lab/site" "$picture" "${1:-9}"
