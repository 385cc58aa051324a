#!/usr/bin/env bash
# The main job: builds the command-line simulator and the Windows module, runs
# the built-in default picture (720x486, generated in code) through both, and
# writes what a user would look at into out/ (or $1):
#   comparison.png   input | reconstruction | amplified difference | bits per macroblock
#   rd_plot.png      bytes against PSNR over every scale code, default and flat matrices
#   stats.json       the frame's bytes and PSNR;  sweep.csv  the sweep's table
#   reconstruction.yc / module.yc   the same frame from the simulator and from the module
#   filter-window.png  the module's filter window as the reference host shows it
# Each step is announced; what the tools print goes to build/run.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/out}
build=${VARDELK_BUILD_DIR:-$root/build}
export VARDELK_BUILD_DIR=$build
source "$root/scripts/lib/steps.sh"

mkdir -p "$build"
export VARDELK_LOG=$build/run.log
: >"$VARDELK_LOG"
echo "vardelk main job: results in $out, the full log in $VARDELK_LOG"
steps=6
fail() {
  echo "run: $*" >&2
  echo "run: the full log is $VARDELK_LOG" >&2
  exit 1
}

vardelk_step 1 $steps "set-up: the Debian packages the build and the job need"
"$root/scripts/setup.sh" || fail "the set-up failed"

vardelk_step 2 $steps "build: the native command line and the 32-bit Windows module"
vardelk_logged build "$root/scripts/build.sh" native windows || fail "the build failed"

vardelk=$build/native/cli/vardelk
mkdir -p "$out"
vardelk_step 3 $steps "simulator: the built-in picture at scale code 8"
"$vardelk" --quiet -i builtin:demo -s 8 --save-input "$out/input.y4m" -o "$out/reconstruction.yc" \
  --picture "$out/comparison.png" --stats "$out/stats.json" 2>>"$VARDELK_LOG" || fail "the simulator failed"

vardelk_step 4 $steps "simulator: rate-distortion sweep, default and flat matrices"
"$vardelk" --quiet -i builtin:demo --sweep --sweep-nonlinear -m default -m flat16 \
  --plot "$out/rd_plot.png" --stats "$out/sweep.csv" 2>>"$VARDELK_LOG" || fail "the sweep failed"

# Wine's helper processes outlive the program; waiting for them inside the
# virtual display keeps them from losing their X connection when it closes.
vardelk_step 5 $steps "module in the reference host (Wine), same picture and settings"
export WINEDEBUG=-all
xvfb-run -a bash -c '"$@"; status=$?; wineserver -w; exit $status' wine \
  env LC_ALL=ja_JP.UTF-8 wine "$build/windows/reference_host/reference_host.exe" \
  --module "$build/windows/plugin/vardelk.auf" --input "$out/input.y4m" --width 720 --height 486 \
  --scale 8 --output "$out/module.yc" --sizes "$out/module_sizes.txt" >>"$VARDELK_LOG" 2>&1 ||
  fail "the reference host failed"
cmp -s "$out/reconstruction.yc" "$out/module.yc" || fail "the module's frame differs from the simulator's"
echo "  module and simulator: identical frames, $(cat "$out/module_sizes.txt") bytes"

vardelk_step 6 $steps "the module's filter window, captured on a virtual display"
"$root/scripts/capture_window.sh" "$build/windows" "$out/filter-window.png" \
  --input "$out/input.y4m" --output "$out/capture.yc" --scale 8 >>"$VARDELK_LOG" 2>&1 ||
  fail "the window capture failed"

# The frame's figures, from the simulator's statistics.
summary=$(sed -n 's/.*"summary": {\(.*\)}.*/\1/p' "$out/stats.json")
figure() { sed -n "s/.*\"$1\": \([0-9.]*\).*/\1/p" <<<"$summary"; }
echo
echo "done: the built-in picture (720x486) at scale code 8 codes to $(figure total_bytes) bytes," \
  "PSNR Y $(figure psnr_y) dB, Cb $(figure psnr_cb) dB, Cr $(figure psnr_cr) dB;" \
  "the module's frame is identical"
echo "written in $out:"
for f in comparison.png rd_plot.png filter-window.png stats.json sweep.csv reconstruction.yc module.yc; do
  printf '  %-18s %8s bytes\n' "$f" "$(stat -c %s "$out/$f")"
done
echo "matrix lab: scripts/serve_lab.sh builds it and serves build/lab/site at http://127.0.0.1:8731/"
