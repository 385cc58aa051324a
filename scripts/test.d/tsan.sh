#!/usr/bin/env bash
# Frame coders on several threads under ThreadSanitizer: builds the tsan
# configuration (codec and its threaded test only) and runs both tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" tsan
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$out/tsan/tests/threads/threads_test"
"$out/tsan/tests/codec/codec_tests"
