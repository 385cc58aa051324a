#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the main job need.
# Safe to run again: it installs only what is missing. apt's messages go to
# $VARDELK_LOG (default: build/setup.log); the terminal shows a count of the
# packages set up.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev libpng-dev libcli11-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 wine wine32:i386 xvfb xauth
  fonts-ipafont-gothic imagemagick ffmpeg libjxl-testdata
  clang-format
)

# Each feature that needs more lists its packages in scripts/setup.d/*.packages,
# one a line ('#' starts a comment).
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/steps.sh"
for list in "$here"/setup.d/*.packages; do
  [ -e "$list" ] || continue
  while read -r p _; do
    [ -n "$p" ] && packages+=("$p")
  done < <(sed 's/#.*//' "$list")
done

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

((${#missing[@]})) || exit 0
if [ -z "${VARDELK_LOG:-}" ]; then
  build=${VARDELK_BUILD_DIR:-$here/../build}
  mkdir -p "$build"
  export VARDELK_LOG=$build/setup.log
fi
echo "setup: installing ${#missing[@]} packages and what they need: ${missing[*]}"
echo "setup: apt's messages go to $VARDELK_LOG"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
echo "setup: reading Debian's package lists"
vardelk_logged apt "${as_root[@]}" apt-get update -q || { echo "setup: apt-get update failed" >&2; exit 1; }
vardelk_logged apt "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
  --no-install-recommends "${missing[@]}" || { echo "setup: installing the packages failed" >&2; exit 1; }
