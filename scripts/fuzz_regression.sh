#!/usr/bin/env bash
# Replays every fuzz target's seed corpus and fuzzes each target briefly.
# Prints one line per target and exits non-zero on any finding.
#
# Usage: scripts/fuzz_regression.sh [seconds-per-target]     (default 5)
# Environment: VARDELK_BUILD_DIR   build root (default ./build; uses <root>/fuzz)
#              VARDELK_FUZZ_SEED   libFuzzer seed (default 1, so CI runs repeat)
#              VARDELK_FUZZ_NO_BUILD=1  use the existing fuzz build as it is
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${VARDELK_BUILD_DIR:-$root/build}")
seconds=${1:-5}
seed=${VARDELK_FUZZ_SEED:-1}
bin_dir=$out/fuzz/fuzz

if [[ ${VARDELK_FUZZ_NO_BUILD:-0} != 1 ]]; then
  mkdir -p "$out"
  if ! "$root/scripts/build.sh" fuzz >"$out/fuzz-build.log" 2>&1; then
    echo "fuzz build failed; see $out/fuzz-build.log" >&2
    tail -n 30 "$out/fuzz-build.log" >&2
    exit 1
  fi
fi
if [[ ! -f $bin_dir/targets.txt ]]; then
  echo "no fuzz build in $out/fuzz (run scripts/build.sh fuzz)" >&2
  exit 1
fi
mapfile -t targets < <(grep -v '^$' "$bin_dir/targets.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# A corpus whose target is not built would silently go unreplayed.
for dir in "$root"/fuzz/corpus/*/; do
  name=$(basename "$dir")
  if ! printf '%s\n' "${targets[@]}" | grep -qx "$name"; then
    echo "$name: FAILED, corpus present but the target is not built"
    failed=$((failed + 1))
  fi
done

for target in "${targets[@]}"; do
  corpus=$root/fuzz/corpus/$target
  mkdir -p "$work/$target/new" "$work/$target/artifacts"
  log=$work/$target/log
  corpus_args=()
  [[ -d $corpus ]] && corpus_args=("$corpus")
  # New inputs go to the scratch folder; the committed corpus is only read.
  # Targets run inside their scratch folder, so any file one writes by a
  # relative name stays out of the source tree.
  (cd "$work/$target" && exec "$bin_dir/$target" -seed="$seed" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
    "$work/$target/new" "${corpus_args[@]}") >"$log" 2>&1
  status=$?
  replayed=$(find "${corpus_args[@]:-/nonexistent}" -type f 2>/dev/null | wc -l)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  artifact=$(find "$work/$target/artifacts" -type f | head -n 1)
  if [[ $status -eq 0 && -z $artifact ]]; then
    echo "$target: ok, $replayed corpus inputs replayed, ${runs:-?} executions in ${seconds} s"
    passed=$((passed + 1))
  else
    keep=$out/fuzz-findings/$target
    mkdir -p "$keep"
    cp "$log" "$keep/log"
    [[ -n $artifact ]] && cp "$artifact" "$keep/"
    echo "$target: FAILED (exit $status), log and reproducer in $keep"
    grep -m 3 -E 'ERROR|runtime error|check failed|SUMMARY' "$log" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
done

echo "fuzz targets: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
