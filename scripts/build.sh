#!/usr/bin/env bash
# Configures and builds the native, sanitizer and 32-bit Windows builds.
# Usage: scripts/build.sh [native|sanitize|windows|fuzz|tsan]...   (default: all but tsan)
# CMake's configuring messages go to $VARDELK_LOG when it is set (the main
# job and the test run keep one), else nowhere; errors always show.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
jobs=$(nproc)

configure_log=${VARDELK_LOG:-/dev/null}

# Where ccache is installed the compilers go through it, with paths taken
# relative to the checkout, so a second build of the same sources (another
# clone, the next test run) takes its objects from the cache.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$root
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure_and_build() {
  local dir=$1; shift
  cmake -S "$root" -B "$out/$dir" -G Ninja "${launcher[@]}" "$@" >>"$configure_log"
  cmake --build "$out/$dir" -j "$jobs"
}

build_windows() {
  configure_and_build windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
}
# The manual page is also linked where man looks for the pages of a program
# on PATH (a folder's ../share/man), so that `man vardelk` finds it once
# build/native/cli is on PATH.
build_native() {
  configure_and_build native -DVARDELK_BENCHMARKS=ON -DVARDELK_WINDOWS_BUILD="$out/windows"
  local page=$out/native/docs/man/vardelk.1
  if [ -f "$page" ]; then
    mkdir -p "$out/native/share/man/man1"
    ln -sfn ../../../docs/man/vardelk.1 "$out/native/share/man/man1/vardelk.1"
  fi
}
build_sanitize() {
  configure_and_build sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARDELK_SANITIZE=address,undefined -DVARDELK_WINDOWS_BUILD="$out/windows"
}
# ThreadSanitizer (gcc): only the codec and the tests that run it on threads.
build_tsan() {
  cmake -S "$root" -B "$out/tsan" -G Ninja "${launcher[@]}" -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDELK_SANITIZE=thread >>"$configure_log"
  cmake --build "$out/tsan" -j "$jobs" --target threads_test codec_tests
}
build_fuzz() {
  configure_and_build fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDELK_FUZZ=ON -DVARDELK_TESTS=OFF
}

targets=("$@")
((${#targets[@]})) || targets=(windows native sanitize fuzz)
for t in "${targets[@]}"; do
  echo "== build $t"
  "build_$t"
done
