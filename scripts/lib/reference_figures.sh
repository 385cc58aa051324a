# shellcheck shell=bash
# Sourced by the scripts that make a measure test's stored figures again
# (scripts/ssimulacra2_reference.sh, scripts/butteraugli_reference.sh): the
# built test writes its pairs as PNG files, a program measures each pair,
# and the rows go to the test's figures file.

# vardelk_dump_pairs TEST_PROGRAM DUMP_VARIABLE TEST_FILTER: has the test
# write its pairs (NAME.original.png, NAME.distorted.png and pairs.txt, a
# name a line) into a new folder, $work, removed when the script ends; the
# script ends when there is no test or it wrote no pairs.
vardelk_dump_pairs() {
  local test_program=$1 variable=$2 filter=$3
  [ -x "$test_program" ] || { echo "$0: build $test_program first" >&2; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # The test fails here for want of figures; the pairs are written first.
  env "$variable=$work" "$test_program" --gtest_filter="$filter" >/dev/null 2>&1 || true
  [ -s "$work/pairs.txt" ] || { echo "$0: the test wrote no pairs" >&2; exit 1; }
}

# vardelk_write_figures OUT MEASURE HEADER...: writes OUT, whole or not at
# all, and shows it: the HEADER lines as comments, then for each pair in
# $work a row {"NAME", FIGURES}, FIGURES being what the command MEASURE
# ORIGINAL.png DISTORTED.png prints (a failing MEASURE ends the script).
vardelk_write_figures() {
  local out=$1 measure=$2 line name figures
  shift 2
  # Whatever ends the script, no half-written file is left.
  vardelk_unfinished=$out.new
  trap 'rm -rf "$work" "$vardelk_unfinished"' EXIT
  {
    for line in "$@"; do echo "// $line"; done
    while read -r name; do
      # On a line of its own, so that a failing MEASURE ends the script.
      figures=$("$measure" "$work/$name.original.png" "$work/$name.distorted.png")
      printf '{"%s", %s},\n' "$name" "$figures"
    done <"$work/pairs.txt"
  } >"$out.new"
  mv "$out.new" "$out"
  cat "$out"
}
