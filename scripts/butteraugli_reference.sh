#!/usr/bin/env bash
# Makes the stored figures of the Butteraugli test again:
#   scripts/butteraugli_reference.sh [PROGRAM [BUILD_DIR]]
# PROGRAM (default: butteraugli_main on the PATH, Debian's libjxl-devtools)
# takes `original distorted --pnorm 3` and prints the max norm, then
# "3-norm: X"; BUILD_DIR (default build/native) holds the built
# quality_butteraugli_test, which writes its pairs as PNG files. The figures
# go to tests/quality/butteraugli_figures.inc.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/reference_figures.sh"
tool=${1:-$(command -v butteraugli_main || true)}
build=${2:-$root/build/native}
[ -n "$tool" ] && [ -x "$tool" ] || { echo "$0: no butteraugli_main (apt-get install libjxl-devtools)" >&2; exit 1; }

vardelk_dump_pairs "$build/tests/quality/quality_butteraugli_test" VARDELK_BUTTERAUGLI_DUMP '*MatchesTheProgram*'
# norms ORIGINAL DISTORTED: the max norm and the 3-norm the program prints.
norms() {
  local printed
  printed=$("$tool" "$1" "$2" --pnorm 3)
  printf '%s, %s' "$(sed -n 1p <<<"$printed")" "$(sed -n 's/^3-norm: //p' <<<"$printed")"
}
vardelk_write_figures "$root/tests/quality/butteraugli_figures.inc" norms \
  "Written by scripts/butteraugli_reference.sh: each pair's max norm and 3-norm" \
  "from $(basename "$tool") (libjxl $(dpkg-query -W -f='${Version}' libjxl-devtools 2>/dev/null || echo '?'))."
