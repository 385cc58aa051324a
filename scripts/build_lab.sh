#!/usr/bin/env bash
# Builds the matrix lab: the core compiled to WebAssembly twice (plain
# kernels, and the SSE2 kernels as wasm SIMD) and the static page, into
# build/lab/site/. Needs Debian's emscripten (scripts/setup.sh installs it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}/lab
# emscripten's tools run on node and need Debian's node modules.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

for flavour in plain simd; do
  simd=OFF
  [ "$flavour" = simd ] && simd=ON
  if [ ! -f "$out/$flavour/build.ninja" ]; then
    emcmake cmake -S "$root/lab" -B "$out/$flavour" -G Ninja -DVARDELK_LAB_SIMD=$simd >/dev/null
  fi
  cmake --build "$out/$flavour" -j 2
done

# The site is assembled in a fresh folder and moved into place, so a failed
# build never leaves a half-written one.
rm -rf "$out/site.new"
mkdir -p "$out/site.new"
cp "$root"/lab/web/* "$out/site.new/"
cp "$out"/plain/lab_core.js "$out"/plain/lab_core.wasm "$out/site.new/"
cp "$out"/simd/lab_core_simd.js "$out"/simd/lab_core_simd.wasm "$out/site.new/"
rm -rf "$out/site"
mv "$out/site.new" "$out/site"
echo "lab: $out/site"
