# Shared by the host tests: sourced, with VARDELK (the command line),
# FRAMES (frames.py) and PLUGIN_DIR (the folder holding vardelk.so) set.
set -euo pipefail
export FREI0R_PATH=$PLUGIN_DIR
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# need TOOL WHAT...: the tool on the PATH, or the test cannot run: it fails
# in CI (CI=true) naming the tool and the Debian package, elsewhere skips.
need() {
  local tool=$1 package=$2
  command -v "$tool" >/dev/null 2>&1 && return 0
  if [ "${CI:-}" = true ]; then
    echo "FAIL: $tool is missing (Debian package $package; scripts/setup.sh installs it)"
    exit 1
  fi
  echo "SKIP: $tool is not installed (Debian package $package)"
  exit 77
}

# frame_name PREFIX N: PREFIX_NNN.png
frame_name() { printf '%s_%03d.png' "$1" "$2"; }

# reference PREFIX FIRST END OPTION...: the command line's reconstruction of
# the host's input frames FIRST..END-1 (PREFIX_NNN.png) as PREFIX_ref_NNN.png.
reference() {
  local prefix=$1 first=$2 end=$3 f
  shift 3
  for ((f = first; f < end; f++)); do
    "$VARDELK" -q -i "$(frame_name "$prefix" "$f")" "$@" -o "$(frame_name "${prefix}_ref" "$f")"
  done
}

# check IN.rgba OUT.rgba W H PREFIX FRAMES: the host's frames against the
# references, FRAMES of them.
check() {
  local in=$1 out=$2 width=$3 height=$4 prefix=$5 count=$6
  local refs=()
  for ((f = 0; f < count; f++)); do refs+=("$(frame_name "${prefix}_ref" "$f")"); done
  "$python" "$FRAMES" compare "$in" "$out" "$width" "$height" "${refs[@]}"
}

# A matrix file in the plain form, steep towards high frequencies (entries
# up to 255, so every coding model takes it).
write_matrix() {
  local r c line
  for ((r = 0; r < 8; r++)); do
    line=""
    for ((c = 0; c < 8; c++)); do line+="$((8 + (r + c) * 17)) "; done
    echo "$line"
  done > "$1"
}
