#!/usr/bin/env bash
# Makes the release packages and prints their paths: the Debian package of the
# command line from the native build and the zip of the filter module from the
# Windows build (each built first if it is missing). The packages land in
# $VARDELK_BUILD_DIR/packages (default build/packages).
# Usage: scripts/package.sh [deb|zip]...   (default: both)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VARDELK_BUILD_DIR:-$root/build}
packages=$out/packages

# package BUILD GLOB: brings the build up to date and packs it with the
# generator its configuration chose; prints the package's path.
package() {
  local build=$1 glob=$2
  [ -f "$out/$build/CPackConfig.cmake" ] || "$root/scripts/build.sh" "$build" >&2
  cmake --build "$out/$build" -j 2 >&2
  mkdir -p "$packages"
  rm -f "$packages"/$glob
  (cd "$out/$build" && cpack -B "$packages" >&2)
  rm -rf "$packages/_CPack_Packages"
  local made=("$packages"/$glob)
  [ -f "${made[0]}" ] || { echo "package.sh: cpack made no $glob in $packages" >&2; exit 1; }
  echo "${made[0]}"
}

targets=("$@")
((${#targets[@]})) || targets=(deb zip)
for t in "${targets[@]}"; do
  case $t in
    deb) package native 'vardelk_*.deb' ;;
    zip) package windows 'vardelk-*-win32.zip' ;;
    *) echo "package.sh: unknown package '$t' (deb or zip)" >&2; exit 2 ;;
  esac
done
