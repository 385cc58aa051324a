# Sourced by the script tests: how a test that cannot run here says so.
# Outside CI it is skipped (exit 77, which ctest reports as skipped); with
# CI=true it fails, since CI installs every tool (scripts/setup.sh) and a
# test that cannot run there is a broken set-up. Either way the reason,
# naming what is missing, is the last line the test prints.

# vardelk_skip REASON...: ends the test.
vardelk_skip() {
  if [ "${CI:-}" = true ]; then
    echo "FAIL (skipped while CI=true): $*"
    exit 1
  fi
  echo "skipped: $*"
  exit 77
}

# vardelk_needs TOOL...: ends the test, naming every tool that is not on PATH.
vardelk_needs() {
  local missing=() tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  ((${#missing[@]} == 0)) || vardelk_skip "${missing[*]}: not installed (scripts/setup.sh installs it)"
}
