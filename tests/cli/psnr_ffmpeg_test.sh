#!/usr/bin/env bash
# The command's PSNR, per frame and over the clip, must agree with ffmpeg's
# psnr filter run on the same input and reconstruction to 0.01 dB, for each
# supported chroma layout.
source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
vardelk_needs ffmpeg
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"

# compare LABEL OURS THEIRS: numbers must differ by at most 0.01.
compare() {
  if ! awk -v a="$2" -v b="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 0.01) }'; then
    echo "FAIL: $1: vardelk $2, ffmpeg $3"
    failures=$((failures + 1))
  fi
}

check_layout() {
  local chroma=$1 scale=$2
  "$MAKE_TEST_CLIP" in.y4m 88 50 3 "$chroma" || exit 1
  "$VARDELK" -q -i in.y4m -s "$scale" -o out.y4m --stats ours.csv || { failures=$((failures + 1)); return; }
  ffmpeg -nostdin -hide_banner -loglevel info -i in.y4m -i out.y4m \
    -lavfi "psnr=stats_file=theirs.log" -f null - 2>ffmpeg.txt || { echo "FAIL: ffmpeg"; cat ffmpeg.txt; exit 1; }
  local planes=(y u v)
  [ "$chroma" = mono ] && planes=(y)
  local frame=0
  while read -r line; do
    for p in "${!planes[@]}"; do
      local theirs ours
      theirs=$(grep -oE "psnr_${planes[$p]}:[0-9.]+" <<<"$line" | cut -d: -f2)
      ours=$(awk -F, -v f="$frame" -v c=$((p + 3)) '$1 == f { print $c }' ours.csv)
      compare "$chroma frame $frame plane ${planes[$p]}" "$ours" "$theirs"
    done
    frame=$((frame + 1))
  done <theirs.log
  [ "$frame" -eq 3 ] || { echo "FAIL: ffmpeg compared $frame frames"; failures=$((failures + 1)); }
  for p in "${!planes[@]}"; do
    local theirs ours
    theirs=$(grep -oE "PSNR y:.*" ffmpeg.txt | sed 's/^PSNR //' | tr ' ' '\n' | grep "^${planes[$p]}:" | cut -d: -f2)
    ours=$(awk -F, -v c=$((p + 3)) '$1 == "total" { print $c }' ours.csv)
    compare "$chroma whole clip plane ${planes[$p]}" "$ours" "$theirs"
    echo "$chroma plane ${planes[$p]}: vardelk $ours dB, ffmpeg $theirs dB"
  done
}

check_layout 420jpeg 6
check_layout 420mpeg2 2
check_layout 422 12
check_layout 444 20
check_layout mono 4

if [ "$failures" -ne 0 ]; then
  echo "$failures PSNR comparison(s) failed"
  exit 1
fi
