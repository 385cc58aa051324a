#!/usr/bin/env bash
# Makes the stored reference figures of the perceptual measure's test again:
#   scripts/ssimulacra2_reference.sh REFERENCE_TOOL [BUILD_DIR]
# REFERENCE_TOOL is the public reference program (it takes
# `original.png distorted.png` and prints the score); BUILD_DIR (default
# build/native) holds the built quality_ssimulacra2_test, which writes its
# pairs as PNG files. The figures go to tests/quality/ssimulacra2_figures.inc.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:?usage: $0 REFERENCE_TOOL [BUILD_DIR]}
build=${2:-$root/build/native}
test_program=$build/tests/quality/quality_ssimulacra2_test
[ -x "$tool" ] || { echo "$0: $tool is not a program" >&2; exit 1; }
[ -x "$test_program" ] || { echo "$0: build $test_program first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The test fails here for want of figures; the pairs are written first.
VARDELK_SSIMULACRA2_DUMP=$work "$test_program" --gtest_filter='*MatchesTheReferenceTool*' >/dev/null 2>&1 || true
[ -s "$work/pairs.txt" ] || { echo "$0: the test wrote no pairs" >&2; exit 1; }

out=$root/tests/quality/ssimulacra2_figures.inc
{
  echo "// Written by scripts/ssimulacra2_reference.sh: each pair's score from the reference tool."
  while read -r name; do
    score=$("$tool" "$work/$name.original.png" "$work/$name.distorted.png")
    printf '{"%s", %s},\n' "$name" "$score"
  done <"$work/pairs.txt"
} >"$out.new"
mv "$out.new" "$out"
cat "$out"
