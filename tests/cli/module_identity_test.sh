#!/usr/bin/env bash
# The command and the Windows module, run in the reference host under Wine,
# must produce byte-identical reconstructed frames and the same byte counts
# for the same clip and settings. The clip has partial macroblocks on both
# edges; progressive and interlaced DCT are both covered, with and without
# the non-linear scale, alternate scan and a matrix file. The Wine calls
# share the display and the Wine prefix that CMake's test gives them
# (tests/module/on_one_display.sh).
source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
build=${VARDELK_WINDOWS_BUILD:-}
[ -n "$build" ] || vardelk_skip "VARDELK_WINDOWS_BUILD is empty (set it to the cross build folder)"
host=$build/reference_host/reference_host.exe
module=$build/plugin/vardelk.auf
for f in "$host" "$module"; do
  [ -f "$f" ] || vardelk_skip "$f is missing (build the Windows side first)"
done
vardelk_needs wine xvfb-run
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"

width=100 height=56 frames=3   # 100 = 6x16 + 4, 56 = 3x16 + 8
"$MAKE_TEST_CLIP" clip.y4m $width $height $frames 420jpeg || exit 1
# A steep matrix, written as eight lines of eight numbers.
for r in 0 1 2 3 4 5 6 7; do
  line=""
  for c in 0 1 2 3 4 5 6 7; do line="$line $((8 + 9 * r + 7 * c))"; done
  echo "$line"
done >steep.txt

# check NAME SCALE NONLINEAR ALTERNATE INTERLACED MATRIX
check() {
  local name=$1 scale=$2 nonlinear=$3 alternate=$4 interlaced=$5 matrix=$6
  local flags=() host_matrix=()
  [ "$nonlinear" = 1 ] && flags+=(--nonlinear)
  [ "$alternate" = 1 ] && flags+=(--alternate-scan)
  [ "$interlaced" = 1 ] && flags+=(--interlaced)
  [ "$matrix" != default ] && host_matrix=(--matrix "$matrix")
  "$VARDELK" -q -i clip.y4m -s "$scale" "${flags[@]}" -m "$matrix" -o "cli_$name.yc" --stats "cli_$name.csv" ||
    { echo "FAIL $name: vardelk failed"; failures=$((failures + 1)); return; }
  # A host run that does not finish or writes nothing is tried again, three
  # times in all; frames that differ fail at once.
  local attempt status
  for attempt in 1 2 3; do
    rm -f "host_$name.yc" "host_$name.txt"
    status=0
    WINEDEBUG=-all timeout 120 wine "$host" --module "$module" --input clip.y4m \
      --width $width --height $height --max-width 112 --max-height 64 --frames $frames --scale "$scale" \
      --nonlinear "$nonlinear" --alternate "$alternate" --interlaced "$interlaced" "${host_matrix[@]}" \
      --output "host_$name.yc" --sizes "host_$name.txt" >"host_$name.log" 2>&1 || status=$?
    [ "$status" -ne 124 ] && [ -s "host_$name.yc" ] && break
    [ "$status" -eq 124 ] || [ "$status" -eq 0 ] || break  # a real failure: no retry
    echo "$name: the host run $([ "$status" -eq 124 ] && echo "did not finish" || echo "wrote nothing") (attempt $attempt of 3)"
  done
  [ "$status" -eq 0 ] && [ -s "host_$name.yc" ] ||
    { echo "FAIL $name: reference host failed (status $status):"; cat "host_$name.log"; failures=$((failures + 1)); return; }
  local expected_bytes=$((width * height * 6 * frames))
  if [ "$(stat -c %s "cli_$name.yc")" -ne "$expected_bytes" ] || ! cmp -s "cli_$name.yc" "host_$name.yc"; then
    echo "FAIL $name: reconstructed frames differ ($(cmp "cli_$name.yc" "host_$name.yc" 2>&1 | head -1))"
    failures=$((failures + 1))
  fi
  local ours theirs
  ours=$(awk -F, 'NR > 1 && $1 != "total" { print $2 }' "cli_$name.csv" | tr '\n' ' ')
  theirs=$(tr -s ' \r\n' ' ' <"host_$name.txt")
  if [ "${ours% }" != "${theirs% }" ]; then
    echo "FAIL $name: byte counts differ: vardelk [$ours] host [$theirs]"
    failures=$((failures + 1))
  else
    echo "$name: frames identical, bytes per frame ${ours% }"
  fi
}

check progressive 4 0 0 0 default
check interlaced 4 0 0 1 default
check progressive_nonlinear_alt 13 1 1 0 steep.txt
check interlaced_nonlinear_alt 25 1 1 1 steep.txt


if [ "$failures" -ne 0 ]; then
  echo "$failures comparison(s) with the module failed"
  exit 1
fi
