#!/usr/bin/env bash
# Serves the matrix lab on this machine only. Builds it first when the site
# is missing (or always, with --build). Usage: scripts/serve_lab.sh [--build] [PORT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
site=${VARDELK_BUILD_DIR:-$root/build}/lab/site
build=0
if [ "${1:-}" = --build ]; then build=1; shift; fi
port=${1:-8731}
if [ "$build" = 1 ] || [ ! -f "$site/index.html" ] || [ ! -f "$site/lab_core.wasm" ]; then
  "$root/scripts/build_lab.sh"
fi
echo "matrix lab: http://127.0.0.1:$port/  (Ctrl-C stops it)"
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
