#!/usr/bin/env bash
# Times vardelk compare against the route a user would script: 14 matrices
# (the default, flat16 and the twelve named ones) on 10 photographs of
# 864x576 over the scale codes 2..16 under the ffmpeg model, the figures by
# SSIMULACRA 2.
#   scripts/bench_compare.sh [BUILD_DIR]
# Environment:
#   VARDELK_SSIMULACRA2_REFERENCE  the public SSIMULACRA 2 program (takes
#                                  original.png distorted.png, prints the score)
#   VARDELK_BENCH_POINTS           points of the scripted route actually run
#                                  (default 140; the rest is extrapolated;
#                                  0 runs all 2100)
#   VARDELK_BENCH_WORK             folder for the pictures and runs (default
#                                  BUILD_DIR/bench-compare; pictures are kept)
# The photographs come from the Debian packages mate-backgrounds and
# libjxl-testdata, scaled and cut with ffmpeg (as search/sets/prepare.sh
# does). The named matrices are taken by name when vardelk knows them, else
# from shared/matrices/community.txt beside the checkout or beside its
# folder (VARDELK_MATRICES names another copy); ffmpeg gets them from there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
vardelk=$build/cli/vardelk
work=${VARDELK_BENCH_WORK:-$build/bench-compare}
sample=${VARDELK_BENCH_POINTS:-140}
reference=${VARDELK_SSIMULACRA2_REFERENCE:-}
[ -x "$vardelk" ] || { echo "$0: build $vardelk first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "$0: needs ffmpeg" >&2; exit 1; }
mkdir -p "$work/pictures" "$work/matrices"

# NAME SOURCE (under /usr/share) SCALED-WIDTH CROP
pictures="blinds      backgrounds/mate/nature/Blinds.jpg       1280 864:576:208:112
dune        backgrounds/mate/nature/Dune.jpg         1280 864:576:208:112
freshflower backgrounds/mate/nature/FreshFlower.jpg  1280 864:576:208:192
garden      backgrounds/mate/nature/Garden.jpg       1280 864:576:208:112
greenmeadow backgrounds/mate/nature/GreenMeadow.jpg  1280 864:576:208:224
ladybird    backgrounds/mate/nature/LadyBird.jpg     1280 864:576:208:112
raindrops   backgrounds/mate/nature/RainDrops.jpg    1280 864:576:208:112
storm       backgrounds/mate/nature/Storm.jpg        1280 864:576:208:140
flowerleft  libjxl-testdata/jxl/flower/flower.png    1728 864:576:0:288
flowerright libjxl-testdata/jxl/flower/flower.png    1728 864:576:864:288"
: >"$work/pictures/set.txt"
while read -r name source width crop; do
    [ -f "/usr/share/$source" ] || { echo "$0: /usr/share/$source missing (mate-backgrounds, libjxl-testdata)" >&2; exit 1; }
    if [ ! -s "$work/pictures/$name.png" ]; then
        ffmpeg -v error -nostdin -y -i "/usr/share/$source" \
            -vf "scale=$width:-2:flags=lanczos,crop=$crop,format=rgb24" -frames:v 1 "$work/pictures/$name.tmp.png"
        mv "$work/pictures/$name.tmp.png" "$work/pictures/$name.png"
    fi
    echo "$name.png" >>"$work/pictures/set.txt"
done <<<"$pictures"

# The candidates: -m options, and each matrix as 64 numbers for ffmpeg.
names="notch mvcd hires fox-new fox-home fox1 sixofnine manono1 manono2 manono3 hvs-best avamat7"
community=${VARDELK_MATRICES:-$root/../shared/matrices/community.txt}
[ -f "$community" ] || [ -n "${VARDELK_MATRICES:-}" ] || community=$root/../../shared/matrices/community.txt
options=(-m default -m flat16)
python3 - "$community" "$work/matrices" <<'PY'
import sys, os
path, out = sys.argv[1], sys.argv[2]
rows = {}
if os.path.exists(path):
    name = None
    for line in open(path):
        line = line.strip()
        if line.startswith('# ') and '|' in line:
            name = line[2:].split('|')[0].strip(); rows[name] = []
        elif line and not line.startswith('#') and name:
            rows[name] += line.split()
default = [8,16,19,22,26,27,29,34, 16,16,22,24,27,29,34,37, 19,22,26,27,29,34,34,38, 22,22,26,27,29,34,37,40,
           22,26,27,29,32,35,40,48, 26,27,29,32,35,40,48,58, 26,27,29,34,38,46,56,69, 27,29,35,38,46,56,69,83]
rows['default'] = [str(v) for v in default]
rows['flat16'] = ['8'] + ['16'] * 63
for name, values in rows.items():
    with open(os.path.join(out, name + '.txt'), 'w') as f:
        f.write(' '.join(values) + '\n')
PY
for name in $names; do
    if "$vardelk" -m "$name" --write-matrix /dev/null >/dev/null 2>&1; then
        options+=(-m "$name")
    elif [ -s "$work/matrices/$name.txt" ]; then
        options+=(-m "plain:$work/matrices/$name.txt")
    else
        echo "$0: vardelk does not know the matrix $name and $community is missing" >&2
        exit 1
    fi
done
count=$((${#options[@]} / 2))
echo "$count matrices, 10 photographs of 864x576, scale codes 2..16, ffmpeg model, $(nproc) cores"

start=$(date +%s.%N)
"$vardelk" compare "$work/pictures/set.txt" "${options[@]}" --codes 2..16 --no-butteraugli -j "$(nproc)" -q --out "$work/out"
predicted=$(echo "$(date +%s.%N) - $start" | bc)
printf 'vardelk compare (predicted, SSIMULACRA 2 with SSIM and luma PSNR): %.1f s\n' "$predicted"

if [ -z "$reference" ] || [ ! -x "$reference" ]; then
    echo "the scripted route needs the public SSIMULACRA 2 program: set VARDELK_SSIMULACRA2_REFERENCE"
    exit 0
fi
# The scripted route, point by point as a user runs it: ffmpeg codes the
# photograph at the scale code with the matrix, ffmpeg decodes it to PNG,
# the program scores it; two points at a time on two cores.
mkdir -p "$work/runs"
: >"$work/points.txt"
for matrix in default flat16 $names; do
    for picture in $(cat "$work/pictures/set.txt"); do
        for code in $(seq 2 16); do echo "$matrix $picture $code" >>"$work/points.txt"; done
    done
done
total=$(wc -l <"$work/points.txt")
[ "$sample" -gt 0 ] && [ "$sample" -lt "$total" ] || sample=$total
# An even spread of the points: every (total/sample)-th.
awk -v step="$(echo "$total / $sample" | bc -l)" 'NR == int((n * step) + 1) { print; n++ }' "$work/points.txt" \
    | head -n "$sample" >"$work/sample.txt"
export work reference
run_point() {
    local matrix=$1 picture=$2 code=$3 stem="$work/runs/$1-${2%.png}-$3"
    local list
    list=$(tr ' ' ',' <"$work/matrices/$matrix.txt")
    ffmpeg -v error -nostdin -y -i "$work/pictures/$picture" -c:v mpeg2video -g 1 -bf 0 -qmin 1 -qmax 31 \
        -qscale:v "$code" -intra_matrix "$list" -f mpeg2video "$stem.m2v"
    ffmpeg -v error -nostdin -y -i "$stem.m2v" "$stem.png"
    echo "$matrix $picture $code $(stat -c %s "$stem.m2v") $("$reference" "$work/pictures/$picture" "$stem.png")" \
        >"$stem.txt"
    rm -f "$stem.m2v" "$stem.png"
}
export -f run_point
start=$(date +%s.%N)
xargs -P "$(nproc)" -L 1 bash -c 'run_point "$@"' _ <"$work/sample.txt"
scripted=$(echo "$(date +%s.%N) - $start" | bc)
whole=$(echo "$scripted * $total / $sample" | bc -l)
printf 'scripted route (ffmpeg, ffmpeg decoding, the public SSIMULACRA 2 program): %.1f s for %d of %d points' \
    "$scripted" "$sample" "$total"
[ "$sample" -lt "$total" ] && printf ', %.0f s for all of them' "$whole"
printf '\nvardelk compare is %.1f times as fast\n' "$(echo "$whole / $predicted" | bc -l)"
