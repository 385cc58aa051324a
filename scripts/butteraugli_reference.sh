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
tool=${1:-$(command -v butteraugli_main || true)}
build=${2:-$root/build/native}
test_program=$build/tests/quality/quality_butteraugli_test
[ -n "$tool" ] && [ -x "$tool" ] || { echo "$0: no butteraugli_main (apt-get install libjxl-devtools)" >&2; exit 1; }
[ -x "$test_program" ] || { echo "$0: build $test_program first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The test fails here for want of figures; the pairs are written first.
VARDELK_BUTTERAUGLI_DUMP=$work "$test_program" --gtest_filter='*MatchesTheProgram*' >/dev/null 2>&1 || true
[ -s "$work/pairs.txt" ] || { echo "$0: the test wrote no pairs" >&2; exit 1; }

out=$root/tests/quality/butteraugli_figures.inc
{
  echo "// Written by scripts/butteraugli_reference.sh: each pair's max norm and 3-norm"
  echo "// from $(basename "$tool") (libjxl $(dpkg-query -W -f='${Version}' libjxl-devtools 2>/dev/null || echo '?'))."
  while read -r name; do
    printed=$("$tool" "$work/$name.original.png" "$work/$name.distorted.png" --pnorm 3)
    max=$(sed -n 1p <<<"$printed")
    norm=$(sed -n 's/^3-norm: //p' <<<"$printed")
    printf '{"%s", %s, %s},\n' "$name" "$max" "$norm"
  done <"$work/pairs.txt"
} >"$out.new"
mv "$out.new" "$out"
cat "$out"
