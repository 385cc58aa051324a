#!/usr/bin/env bash
# Makes the stored reference figures of the perceptual measure's test again:
#   scripts/ssimulacra2_reference.sh REFERENCE_TOOL [BUILD_DIR]
# REFERENCE_TOOL is the public reference program (it takes
# `original.png distorted.png` and prints the score); BUILD_DIR (default
# build/native) holds the built quality_ssimulacra2_test, which writes its
# pairs as PNG files. The figures go to tests/quality/ssimulacra2_figures.inc.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/reference_figures.sh"
tool=${1:?usage: $0 REFERENCE_TOOL [BUILD_DIR]}
build=${2:-$root/build/native}
[ -x "$tool" ] || { echo "$0: $tool is not a program" >&2; exit 1; }

vardelk_dump_pairs "$build/tests/quality/quality_ssimulacra2_test" VARDELK_SSIMULACRA2_DUMP '*MatchesTheReferenceTool*'
# score ORIGINAL DISTORTED: the score the tool prints.
score() { "$tool" "$1" "$2"; }
vardelk_write_figures "$root/tests/quality/ssimulacra2_figures.inc" score \
  "Written by scripts/ssimulacra2_reference.sh: each pair's score from the reference tool."
