# Sourced by the command-line script tests: checks that the test programs
# were named, and runs the test in a scratch folder removed on exit.
set -u
: "${VARDELK:?path of the vardelk command}" "${MAKE_TEST_CLIP:?path of make_test_clip}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
