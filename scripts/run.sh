#!/usr/bin/env bash
# The main job: builds the command-line simulator and the Windows module, runs
# the built-in default picture (720x486, generated in code) through both, and
# writes what a user would look at into out/ (or $1):
#   comparison.png   input | reconstruction | amplified difference | bits per macroblock
#   rd_plot.png      bytes against PSNR over every scale code, default and flat matrices
#   stats.json       the frame's bytes and PSNR;  sweep.csv  the sweep's table
#   reconstruction.yc / module.yc   the same frame from the simulator and from the module
#   filter-window.png  the module's filter window as the reference host shows it
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/out}
build=${VARDELK_BUILD_DIR:-$root/build}
export VARDELK_BUILD_DIR=$build

"$root/scripts/setup.sh"
mkdir -p "$build"
"$root/scripts/build.sh" native windows >"$build/run-build.log" 2>&1 ||
  { tail -n 40 "$build/run-build.log"; exit 1; }

vardelk=$build/native/cli/vardelk
mkdir -p "$out"
echo "== simulator: built-in picture at scale code 8"
"$vardelk" --quiet -i builtin:demo -s 8 --save-input "$out/input.y4m" -o "$out/reconstruction.yc" \
  --picture "$out/comparison.png" --stats "$out/stats.json"
cat "$out/stats.json"
echo
echo "== simulator: rate-distortion sweep"
"$vardelk" --quiet -i builtin:demo --sweep --sweep-nonlinear -m default -m flat16 \
  --plot "$out/rd_plot.png" --stats "$out/sweep.csv"

echo "== module in the reference host (Wine), same picture and settings"
export WINEDEBUG=-all
env LC_ALL=ja_JP.UTF-8 xvfb-run -a wine "$build/windows/reference_host/reference_host.exe" \
  --module "$build/windows/plugin/vardelk.auf" --input "$out/input.y4m" --width 720 --height 486 \
  --scale 8 --output "$out/module.yc" --sizes "$out/module_sizes.txt"
if cmp -s "$out/reconstruction.yc" "$out/module.yc"; then
  echo "module and simulator: identical frames, $(cat "$out/module_sizes.txt") bytes"
else
  echo "module and simulator differ" >&2
  exit 1
fi

echo "== filter window capture"
"$root/scripts/capture_window.sh" "$build/windows" "$out/filter-window.png" \
  --input "$out/input.y4m" --output "$out/capture.yc" --scale 8

echo "results in $out: comparison.png rd_plot.png filter-window.png stats.json sweep.csv"
echo "matrix lab: scripts/serve_lab.sh builds it and serves build/lab/site at http://127.0.0.1:8731/"
