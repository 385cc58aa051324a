#!/usr/bin/env bash
# Runs every test: the native suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the 32-bit Windows build's suite under Wine
# (the module driven through real window messages), a short replay of every
# fuzz target, and the stages of scripts/test.d/. Installs what is missing
# first. Each stage is announced; everything the tools print goes to
# build/test.log.
#
# The closing line counts the tests passed, failed and skipped (a test skips
# when this machine lacks a tool it needs; each skip is listed with its
# reason). The exit status is non-zero when a test failed, when the set-up or
# the build failed, and, with CI=true, when a test skipped.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
export VARDELK_BUILD_DIR=$out
export WINEDEBUG=-all
source "$root/scripts/lib/steps.sh"

mkdir -p "$out"
export VARDELK_LOG=$out/test.log
: >"$VARDELK_LOG"
echo "vardelk tests: the full log in $VARDELK_LOG"

passed=0
failed=0
skipped=0
skips=()    # "stage: test: reason" of every skip
failures=() # "stage: test" of every failure

stages=("$root"/scripts/test.d/*.sh)
[ -e "${stages[0]}" ] || stages=()
steps=$((6 + ${#stages[@]}))
step=0

summary() {
  if ((${#skips[@]})); then
    echo "skipped:"
    printf '  %s\n' "${skips[@]}"
  fi
  if ((${#failures[@]})); then
    echo "failed:"
    printf '  %s\n' "${failures[@]}"
  fi
  echo "vardelk: $passed passed, $failed failed, $skipped skipped"
  if [ "${CI:-}" = true ] && ((skipped > 0)); then
    echo "vardelk: a test skipped while CI=true; CI installs every tool, so each skip is a failure"
    exit 1
  fi
  ((failed == 0))
  exit
}

step=$((step + 1))
vardelk_step $step $steps "set-up: the Debian packages every test needs"
if ! "$root/scripts/setup.sh"; then
  failed=$((failed + 1))
  failures+=("set-up: scripts/setup.sh failed")
  summary
fi

step=$((step + 1))
vardelk_step $step $steps "build: Windows, native, sanitizers, fuzz targets"
if ! vardelk_logged build "$root/scripts/build.sh" windows native sanitize fuzz; then
  failed=$((failed + 1))
  failures+=("build: scripts/build.sh failed")
  summary
fi

# last_line DIR TEST: the last line the test printed (every skip of ours ends
# with its reason, naming what is missing), from ctest's log of the run.
last_line() {
  awk -v name="$2" '
    $0 ~ "^[0-9]+/[0-9]+ Test: " && substr($0, index($0, ": ") + 2) == name { inside = 1; next }
    inside && /^<end of output>$/ { sub(/^skipped: /, "", last); print last; exit }
    inside && NF { last = $0 }' "$1/Testing/Temporary/LastTest.log"
}

# run_suite NAME DIR [wrapper...]: runs ctest in DIR (through the wrapper)
# and adds up its counts.
run_suite() {
  local name=$1 dir=$2
  shift 2
  step=$((step + 1))
  vardelk_step $step $steps "tests: $name suite ($dir)"
  local log
  log=$(mktemp)
  (cd "$dir" && "$@" ctest --output-on-failure -j "$(nproc)" --timeout 900) 2>&1 | tee "$log" |
    vardelk_progress test
  local line total bad test
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "$name: no ctest summary"
    failed=$((failed + 1))
    failures+=("$name: ctest gave no summary")
  else
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    # ctest counts a skipped test among the passed ones; they are listed
    # after the summary as "N - NAME (Skipped)".
    local names=()
    mapfile -t names < <(sed -nE 's/^\s*[0-9]+ - (.*) \(Skipped\)$/\1/p' "$log")
    local suite_skips=${#names[@]}
    for test in "${names[@]}"; do
      skips+=("$name: $test: $(last_line "$dir" "$test")")
    done
    mapfile -t names < <(sed -nE 's/^\s*[0-9]+ - (.*) \((Failed|Not Run|Timeout|.*)\)$/\1/p' \
      <(sed -n '/^The following tests FAILED:/,$p' "$log"))
    for test in "${names[@]}"; do
      failures+=("$name: $test: $(last_line "$dir" "$test")")
    done
    failed=$((failed + bad))
    passed=$((passed + total - bad - suite_skips))
    skipped=$((skipped + suite_skips))
  fi
  rm -f "$log"
}

# stage NAME COMMAND...: a test outside ctest, passed when it exits 0 and
# skipped when it exits 77 (its last line the reason). Its builds show as a
# count, like the main build.
stage() {
  local name=$1
  shift
  step=$((step + 1))
  vardelk_step $step $steps "tests: $name"
  "$@" 2>&1 </dev/null | vardelk_progress build
  local status=${PIPESTATUS[0]}
  case $status in
    0) passed=$((passed + 1)) ;;
    77)
      skipped=$((skipped + 1))
      skips+=("$name: $(tail -n 1 "$VARDELK_LOG" | sed 's/^skipped: //')")
      ;;
    *)
      echo "$name: FAILED (exit status $status)"
      failed=$((failed + 1))
      failures+=("$name")
      ;;
  esac
}

run_suite native "$out/native"
run_suite sanitize "$out/sanitize" vardelk_suite_runner sanitize
run_suite windows "$out/windows" vardelk_suite_runner windows

stage "fuzz regression" env VARDELK_FUZZ_NO_BUILD=1 "$root/scripts/fuzz_regression.sh"

# Further stages outside ctest (a browser, a package install, the format
# check): each script in scripts/test.d/ is one test.
for s in "${stages[@]}"; do
  stage "$(basename "$s" .sh)" bash "$s"
done

summary
