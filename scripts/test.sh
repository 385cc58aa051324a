#!/usr/bin/env bash
# Runs every test: the native suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the 32-bit Windows build's suite under Wine
# (the module driven through real window messages), and a short replay of
# every fuzz target. Installs what is missing first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
export VARDELK_BUILD_DIR=$out
export WINEDEBUG=-all

"$root/scripts/setup.sh"
"$root/scripts/build.sh" windows native sanitize fuzz || { echo "vardelk: 0 passed, 1 failed"; exit 1; }

passed=0
failed=0

# run_suite NAME DIR [wrapper...]: runs ctest in DIR and adds up its counts.
run_suite() {
  local name=$1 dir=$2; shift 2
  echo "== tests: $name"
  local log
  log=$(mktemp)
  (cd "$dir" && "$@" ctest --output-on-failure -j "$(nproc)" --timeout 900) 2>&1 | tee "$log"
  local line total bad
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "$name: no ctest summary"
    failed=$((failed + 1))
  else
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  rm -f "$log"
}

run_suite native "$out/native"
run_suite sanitize "$out/sanitize" env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# LC_ALL=ja_JP.UTF-8 makes Wine's ANSI code page 932, as on the editor's usual system.
run_suite windows "$out/windows" env LC_ALL=ja_JP.UTF-8 xvfb-run -a -s "-screen 0 1280x1024x24"

if [ -x "$root/scripts/fuzz_regression.sh" ]; then
  echo "== tests: fuzz regression"
  if VARDELK_FUZZ_NO_BUILD=1 "$root/scripts/fuzz_regression.sh"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
fi

# Further stages outside ctest (a browser, a package install): each script in
# scripts/test.d/ is one test, passed when it exits 0.
for stage in "$root"/scripts/test.d/*.sh; do
  [ -e "$stage" ] || continue
  echo "== tests: $(basename "$stage" .sh)"
  if bash "$stage"; then
    passed=$((passed + 1))
  else
    echo "$(basename "$stage"): FAILED"
    failed=$((failed + 1))
  fi
done

echo "vardelk: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
