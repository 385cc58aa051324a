#!/usr/bin/env bash
# What the command writes when all goes well: Y4M to a file and through a
# pipe alike, per-frame PNGs, CSV and JSON figures, the sweep table and plot,
# the comparison picture, the logs, and no progress line off a terminal.
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }

"$MAKE_TEST_CLIP" clip.y4m 50 34 3 422 || exit 1

# File and pipe give the same stream; the header keeps the input's layout.
"$VARDELK" -i clip.y4m -s 5 -o file.y4m --stats run.json >table.txt 2>err.txt || fail "run to a file"
"$VARDELK" -q -i - -s 5 -o - <clip.y4m >pipe.y4m || fail "run through a pipe"
cmp -s file.y4m pipe.y4m || fail "file and pipe output differ"
"$VARDELK" -q -i clip.y4m --save-input copy.y4m || fail "input copy"
cmp -s clip.y4m copy.y4m || fail "the input copy differs from the input"
head -n 1 file.y4m | grep -q "W50 H34 F25:1 Ip A1:1 C422" || fail "header changed: $(head -n 1 file.y4m)"
[ "$(grep -c FRAME file.y4m)" -eq 3 ] || fail "frame count of the output"
[ "$(grep -cE '^ +[0-9]+ +[0-9]+ ' table.txt)" -eq 3 ] || fail "three frame lines expected in: $(cat table.txt)"
grep -q "Mbit/s" table.txt || fail "summary missing"
[ ! -s err.txt ] || fail "standard error not empty off a terminal: $(cat -v err.txt)"
python3 - run.json <<'PY' || fail "JSON content"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["width"] == 50 and d["settings"]["scale_code"] == 5
assert len(d["frames"]) == 3
assert d["summary"]["total_bytes"] == sum(f["bytes"] for f in d["frames"])
PY

# With standard output carrying video, the table moves to standard error.
"$VARDELK" -i clip.y4m -o - >/dev/null 2>table2.txt || fail "table with video on stdout"
grep -q "PSNR over the clip" table2.txt || fail "summary not on standard error"
"$VARDELK" -q -i clip.y4m --stats - >quiet.csv 2>quiet_err.txt || fail "CSV to stdout"
[ "$(wc -l <quiet.csv)" -eq 5 ] && [ ! -s quiet_err.txt ] || fail "quiet CSV: $(cat quiet.csv)"

# Per-frame pictures, raw host frames, logs, the comparison picture.
mkdir logs
"$VARDELK" -q -i clip.y4m -o "frame_%02d.png" || fail "per-frame PNG"
ls frame_00.png frame_01.png frame_02.png >/dev/null || fail "per-frame PNG names"
"$VARDELK" -q -i clip.y4m -o raw.yc --log logs || fail "raw output"
[ "$(stat -c %s raw.yc)" -eq $((50 * 34 * 6 * 3)) ] || fail "raw output size"
[ -s logs/dct.txt ] && [ -s logs/qdct.txt ] || fail "logs not written"
"$VARDELK" -q -i clip.y4m --picture cmp.png --picture-frame 2 || fail "picture"
[ "$(png_size cmp.png)" = "$((3 * 8 + 2 * 50))x$((15 + 3 * 8 + 2 * (15 + 34)))" ] || fail "picture size $(png_size cmp.png)"
"$VARDELK" -q -i clip.y4m --ssim --stats ssim.csv --picture map.png --ssim-map || fail "SSIM run"
head -n 1 ssim.csv | grep -q ',psnr_cr,ssim_y,ssim_cb,ssim_cr,ssim_all$' || fail "SSIM columns: $(head -n 1 ssim.csv)"
[ "$(png_size map.png)" = "$((4 * 8 + 3 * 50))x$((15 + 3 * 8 + 2 * (15 + 34)))" ] || fail "SSIM map picture size $(png_size map.png)"

# Sweep: table rows, CSV rows, both plot formats.
printf '%s\n' $(seq 1 64 | sed 's/.*/24/') >flat24.txt
"$VARDELK" -i clip.y4m --sweep --sweep-nonlinear -m default -m flat24.txt --stats sweep.csv --plot rd.svg >sweep.txt ||
  fail "sweep"
[ "$(wc -l <sweep.csv)" -eq $((1 + 2 * 2 * 31)) ] || fail "sweep CSV rows"
[ "$(grep -cE '^[^ ]+ +non-linear +[0-9]+ ' sweep.txt)" -eq 62 ] || fail "sweep table rows"
# Three curves against the anchor, each with both measures' figures.
[ "$(grep -cE '^(default non-linear|flat24.txt (non-)?linear) +[-+][0-9.]+ % +[-+][0-9.]+ dB +[-+][0-9.]+ % +[-+][0-9.]+ dB' sweep.txt)" -eq 3 ] ||
  fail "Bjontegaard table: $(grep -A5 Bjontegaard sweep.txt)"
head -n 1 sweep.csv | grep -q ',ssim_all,bd_rate_psnr,bd_psnr,bd_rate_ssim,bd_ssim$' || fail "sweep CSV header: $(head -n 1 sweep.csv)"
grep -q "<polyline" rd.svg && grep -q "flat24.txt linear" rd.svg || fail "SVG plot content"
"$VARDELK" -q -i clip.y4m --sweep --plot rd.png || fail "PNG plot"
# --codes sweeps those codes only, and the report says the range they span.
"$VARDELK" -i clip.y4m --sweep --codes 4..7 --stats codes.csv >codes.txt || fail "sweep --codes"
[ "$(wc -l <codes.csv)" -eq 5 ] || fail "sweep --codes CSV rows"
grep -q '^range of default linear: scale codes 4\.\.7, ' codes.txt || fail "sweep range line: $(grep range codes.txt)"
[ "$(png_size rd.png)" = "1120x660" ] || fail "PNG plot size $(png_size rd.png)"
# Coarser quantisation never costs more bytes in this sweep.
awk -F, '$2 == "linear" && $1 == "\"default\"" { if (prev != "" && $7 > prev) bad = 1; prev = $7 } END { exit bad }' sweep.csv ||
  fail "bytes grow with the scale code"
"$VARDELK" -q -i clip.y4m --sweep -m default -m flat16 --plot rd_ssim.svg --plot-metric ssim || fail "SSIM plot"
grep -q "SSIM (all planes)" rd_ssim.svg || fail "SSIM plot axis"
"$VARDELK" -q -i clip.y4m --sweep -m default -m flat16 --plot rd_b.svg --plot-metric butteraugli &&
  grep -q "Butteraugli -ln(3-norm)" rd_b.svg || fail "Butteraugli plot axis"

# Matrices from one file form to another, canary entries kept in place.
printf '%s\n' $(seq 1 64) >canary.txt
"$VARDELK" -m canary.txt --write-matrix canary.cfg --matrix-format x264 || fail "matrix to x264"
"$VARDELK" -m x264:canary.cfg --write-matrix canary2.txt || fail "matrix from x264"
[ "$(grep -v '^#' canary2.txt | tr -s ' ,\n' ' ' | xargs)" = "$(seq 1 64 | xargs)" ] || fail "canary round trip: $(cat canary2.txt)"
"$VARDELK" -m canary.txt --write-matrix canary.mat --matrix-format tmpgenc && "$VARDELK" -m canary.mat --write-matrix canary3.txt &&
  cmp -s canary2.txt canary3.txt || fail "canary through tmpgenc: $(cat canary3.txt)"

# The named matrices: listed, one shown with ffmpeg's option, a wrong name refused with the names.
"$VARDELK" matrices | grep -q "^avamat7 " || fail "vardelk matrices lists no avamat7"
"$VARDELK" matrices hvs-best | grep -q '^ffmpeg: -intra_matrix 8,16,16,16,17,18,21,24,' || fail "vardelk matrices hvs-best"
status=0
"$VARDELK" matrices hvs >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 2 ] && grep -q "hvs-best, avamat7" stderr.txt && [ ! -s stdout.txt ] ||
  fail "vardelk matrices hvs: status $status, $(cat stderr.txt)"

# A comparison's candidate from a matrix file goes by the file's stem.
"$VARDELK" compare clip.y4m -m plain:canary.txt --codes 2..5 --no-butteraugli -q -j 2 --out compared &&
  grep -q '"name": "canary", "matrix": \[1,2,3,' compared/report.json || fail "compare names a file's candidate by its stem"

# The MPEG-2 stream: its size is the reported total, and its matrix reads back.
"$VARDELK" -q -i clip.y4m -s 3 -m canary.txt -o canary.m2v --stats stream.csv || fail "stream output"
[ "$(stat -c %s canary.m2v)" = "$(awk -F, '$1 == "total" { print $6 }' stream.csv)" ] || fail "stream size against --stats"
"$VARDELK" -m stream:canary.m2v --write-matrix back.txt && "$VARDELK" -m back.txt --write-matrix back.m2v.txt &&
  [ "$(grep -v '^#' back.txt | xargs | cut -d' ' -f2-)" = "$(seq 2 64 | xargs)" ] || fail "matrix from the stream: $(cat back.txt)"
"$VARDELK" -q -i clip.y4m -s 3 -o both.y4m --stream both.m2v -j 3 && cmp -s both.m2v canary.m2v &&
  fail "different matrices gave the same stream"
[ -s both.y4m ] && [ -s both.m2v ] || fail "reconstruction and stream from one run"

# Ctrl-C mid-run: status 130 and no output left, finished or partial.
mkdir stopped
"$VARDELK" -q -i builtin:demo --frames 400 -o stopped/recon.y4m --stats stopped/s.csv &
pid=$!
sleep 0.5
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 130 ] || fail "interrupted run ended with status $status"
[ -z "$(ls stopped)" ] || fail "interrupted run left $(ls stopped)"

if [ "$failures" -ne 0 ]; then
  echo "$failures output check(s) failed"
  exit 1
fi
echo "all output checks passed"
