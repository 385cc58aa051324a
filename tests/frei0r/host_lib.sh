# Shared by the host tests: sourced, with VARDELK (the command line),
# FRAMES (frames.py) and PLUGIN_DIR (the folder holding vardelk.so) set.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
export FREI0R_PATH=$PLUGIN_DIR
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# How many times in all a host that rendered nothing is asked, and the
# seconds it has for each render (these clips take a second or two).
host_attempts=3
host_seconds=30

# render HOST OUTPUT... -- COMMAND...: runs COMMAND, in which HOST renders
# to the files OUTPUT, with what it prints kept in HOST.log. A host now and
# then renders nothing for reasons of its own (melt, asked for a clip of a
# few pixels, can start its writer too late and then waits for it for ever,
# with nothing written), so a render that leaves an OUTPUT missing or empty,
# or that does not end within host_seconds, is asked for again, up to
# host_attempts times in all; then the test fails naming the host, what each
# attempt did and its last messages. A render that ended and wrote every
# OUTPUT is never asked for again: whether its frames are right is for check
# to say, and a wrong frame fails at once.
render() {
  local host=$1 outputs=() attempt status missing file did=()
  shift
  while (($#)) && [ "$1" != -- ]; do
    outputs+=("$1")
    shift
  done
  shift
  for ((attempt = 1; attempt <= host_attempts; attempt++)); do
    rm -f "${outputs[@]}"
    status=0
    timeout -k 5 "$host_seconds" "$@" >"$host.log" 2>&1 || status=$?
    missing=()
    for file in "${outputs[@]}"; do [ -s "$file" ] || missing+=("$file"); done
    if ((status == 124 || status == 137)); then
      did+=("attempt $attempt of $host_attempts did not end in ${host_seconds} s")
    elif ((${#missing[@]})); then
      did+=("attempt $attempt of $host_attempts rendered nothing into ${missing[*]} (exit status $status)")
    elif ((status != 0)); then
      echo "FAIL: $host exited with status $status after rendering ${outputs[*]}; its last messages:"
      tail -n 20 "$host.log" | sed 's/^/  /'
      exit 1
    else
      return 0
    fi
    echo "$host: ${did[-1]}"
  done
  echo "FAIL: $host rendered no clip in $host_attempts attempts ($(printf '%s; ' "${did[@]}")its last messages:)"
  tail -n 20 "$host.log" | sed 's/^/  /'
  exit 1
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
