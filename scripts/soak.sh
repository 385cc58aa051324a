#!/usr/bin/env bash
# Runs one test many times, one run after another, to show that it never
# fails now and then.
# Usage: scripts/soak.sh TEST [N]   (N runs, 50 unless given)
#
# TEST is a ctest name, found in the native, windows or sanitize build (in
# that order) and run as scripts/test.sh runs that build's suite (the
# windows one under Wine on a virtual display), or the name of a stage of
# scripts/test.d/ (lab, release, format, tsan). Needs the builds the test
# needs (scripts/build.sh). Prints each run that did not pass and ends with
#   TEST: N runs, P passed, F failed[, S skipped]
# and, when some passed only after a host that rendered nothing was asked
# again (the tests print "attempt K of M" then), how many. The exit status is
# 0 only when every run passed; the log of every run that did not, and of
# every run that asked a host again, is kept in build/soak/TEST/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
export VARDELK_BUILD_DIR=$out
export WINEDEBUG=-all
source "$root/scripts/lib/steps.sh"

usage() {
  echo "usage: scripts/soak.sh TEST [N]   (a ctest name or a stage of scripts/test.d; N runs, 50 unless given)" >&2
  exit 2
}
(($# == 1 || $# == 2)) || usage
test=$1
runs=${2:-50}
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage

# The ctest name in the first build that has it, or the stage's script.
suite= dir= stage=
for candidate in native windows sanitize; do
  [ -f "$out/$candidate/CTestTestfile.cmake" ] || continue
  if ctest --test-dir "$out/$candidate" -N -R "^$test\$" 2>/dev/null | grep -q '^Total Tests: 1$'; then
    suite=$candidate dir=$out/$candidate
    break
  fi
done
if [ -z "$suite" ]; then
  stage=$root/scripts/test.d/$test.sh
  [ -f "$stage" ] || {
    echo "soak: $test is neither a test of the builds in $out nor a stage of scripts/test.d" >&2
    exit 2
  }
fi

logs=$out/soak/$test
rm -rf "$logs"
mkdir -p "$logs"
log=$logs/run.log

# run: one run of the test, its output in $log; prints passed, failed or
# skipped.
run() {
  local status
  if [ -n "$stage" ]; then
    bash "$stage" >"$log" 2>&1 </dev/null
    status=$?
    case $status in
      0) echo passed ;;
      77) echo skipped ;;
      *) echo failed ;;
    esac
    return
  fi
  (cd "$dir" && vardelk_suite_runner "$suite" ctest -R "^$test\$" --output-on-failure --timeout 900) \
    >"$log" 2>&1 </dev/null
  status=$?
  # ctest's summary counts a skipped test as passed; the skip is listed on
  # its own.
  if ((status != 0)) || ! grep -qE '^100% tests passed, 0 tests failed out of 1$' "$log"; then
    echo failed
  elif grep -qE "^[[:space:]]*[0-9]+ - $test \(Skipped\)$" "$log"; then
    echo skipped
  else
    echo passed
  fi
}

passed=0 failed=0 skipped=0 asked_again=0
echo "soak: $test, $runs runs${suite:+ (the $suite build)}"
for ((k = 1; k <= runs; k++)); do
  result=$(run)
  case $result in
    passed)
      passed=$((passed + 1))
      if grep -qE 'attempt [0-9]+ of [0-9]+' "$log"; then
        asked_again=$((asked_again + 1))
        mv "$log" "$logs/run-$k.asked-again.log"
        echo "  run $k passed after asking again: $(grep -E 'attempt [0-9]+ of [0-9]+' "$logs/run-$k.asked-again.log" |
          head -n 1)"
      fi
      ;;
    skipped)
      skipped=$((skipped + 1))
      mv "$log" "$logs/run-$k.skipped.log"
      echo "  run $k skipped: $(tail -n 1 "$logs/run-$k.skipped.log")"
      ;;
    *)
      failed=$((failed + 1))
      mv "$log" "$logs/run-$k.failed.log"
      echo "  run $k FAILED (log: $logs/run-$k.failed.log); its last lines:"
      tail -n 8 "$logs/run-$k.failed.log" | sed 's/^/    /'
      ;;
  esac
done
rm -f "$log"
summary="$test: $runs runs, $passed passed, $failed failed"
((skipped == 0)) || summary+=", $skipped skipped"
((asked_again == 0)) || summary+=" ($asked_again passed after a host was asked again)"
echo "$summary"
((passed == runs))
