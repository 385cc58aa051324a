#!/usr/bin/env bash
# The matrix lab in headless chromium: builds the WebAssembly cores and the
# page, then checks the page against the command line (bytes, PSNR, SSIM and
# every reconstructed sample) through settings, matrix edits, history steps,
# matrix files exported and imported, refused files, and the encoder modelled
# (its controls, the address that keeps it, matrices its stream cannot carry).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
source "$root/testing/skip.sh"
vardelk_needs emcmake chromium chromedriver convert
photo=/usr/share/libjxl-testdata/external/wesaturate/500px/u76c0g_bliznaca_srgb8.png
[ -f "$photo" ] || vardelk_skip "$photo: missing (libjxl-testdata; scripts/setup.sh installs it)"
"$root/scripts/build_lab.sh"
[ -x "$out/native/cli/vardelk" ] || "$root/scripts/build.sh" native
exec timeout 300 /usr/bin/python3 "$root/tests/lab/test_lab_page.py" "$out/lab/site" "$out/native/cli/vardelk" "$photo"
