#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the main job need.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev libpng-dev libcli11-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 wine wine32:i386 xvfb xauth
  fonts-ipafont-gothic imagemagick ffmpeg libjxl-testdata
)

# Each feature that needs more lists its packages in scripts/setup.d/*.packages,
# one a line ('#' starts a comment).
here=$(cd "$(dirname "$0")" && pwd)
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

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
fi
