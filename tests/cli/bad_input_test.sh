#!/usr/bin/env bash
# Bad input and unwritable output: every case must end with a clear message
# on standard error, a non-zero exit status (not a crash), and no output file
# left behind, finished or partial.
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"

# expect_failure STATUS MESSAGE -- ARGS...: runs vardelk with ARGS (standard
# input from $stdin_file when set) and checks the outcome.
expect_failure() {
  local want_status=$1 want_message=$2; shift 3
  rm -f out.* stats.* picture.png
  local status=0
  "$VARDELK" "$@" <"${stdin_file:-/dev/null}" >stdout.txt 2>stderr.txt || status=$?
  local leftovers
  leftovers=$(ls | grep -E '^(out|stats|picture)\.|\.partial-' || true)
  if [ "$status" -ne "$want_status" ] || ! grep -qF -- "$want_message" stderr.txt || [ -n "$leftovers" ]; then
    echo "FAIL: vardelk $*"
    echo "  status $status (wanted $want_status); stderr: $(cat stderr.txt)"
    echo "  wanted message: $want_message; files left: ${leftovers:-none}"
    failures=$((failures + 1))
  fi
}

"$MAKE_TEST_CLIP" good.y4m 40 24 2 420jpeg || exit 1
header_bytes=$(head -n 1 good.y4m | wc -c)
frame_bytes=$(( 6 + 40 * 24 + 2 * 20 * 12 ))
numbers() { seq -s ' ' 1 "$1" | sed 's/[0-9]\+/16/g'; }

# Y4M headers.
printf 'YUV4MPEG2 W16 H16' >h_truncated.y4m
printf 'YUV4MPEG2 W16 Hx C420jpeg\nFRAME\n' >h_bad_height.y4m
printf 'YUV4MPEG W16 H16\n' >h_bad_magic.y4m
printf 'YUV4MPEG2 W16 H16 F30\n' >h_bad_rate.y4m
printf 'YUV4MPEG2 W16 H16 C411\n' >h_411.y4m
printf 'YUV4MPEG2 W16 H16 C420p10\n' >h_10bit.y4m
printf 'YUV4MPEG2 W16 H16 C444alpha\n' >h_alpha.y4m
: >empty.y4m
expect_failure 1 "header is truncated" -- -i h_truncated.y4m -o out.y4m
expect_failure 1 "header field 'Hx'" -- -i h_bad_height.y4m -o out.y4m
expect_failure 1 "not a YUV4MPEG2 stream" -- -i h_bad_magic.y4m -o out.y4m
expect_failure 1 "'F30' is not a frame rate" -- -i h_bad_rate.y4m -o out.y4m
expect_failure 1 "unsupported colour space 'C411'" -- -i h_411.y4m -o out.y4m
expect_failure 1 "unsupported colour space 'C420p10'" -- -i h_10bit.y4m -o out.y4m
expect_failure 1 "unsupported colour space 'C444alpha'" -- -i h_alpha.y4m -o out.y4m
expect_failure 1 "empty input" -- -i empty.y4m -o out.y4m

# Y4M frames: cut in the first frame, cut in the second, broken marker.
head -c $((header_bytes + 100)) good.y4m >f_cut_first.y4m
head -c $((header_bytes + frame_bytes + 300)) good.y4m >f_cut_second.y4m
head -c $((header_bytes + frame_bytes + 3)) good.y4m >f_cut_marker.y4m
sed '0,/FRAME/{s/FRAME/FRAMX/}' good.y4m >f_bad_marker.y4m
expect_failure 1 "frame 0 is truncated (94 of 1440 bytes)" -- -i f_cut_first.y4m -o out.y4m
expect_failure 1 "frame 1 is truncated" -- -i f_cut_second.y4m -o out.y4m --stats stats.csv --picture picture.png
expect_failure 1 "frame 1 is truncated (incomplete FRAME marker)" -- -i f_cut_marker.y4m -o out.yc
expect_failure 1 "frame 0 does not start with a FRAME marker" -- -i f_bad_marker.y4m -o out.y4m
stdin_file=f_cut_second.y4m expect_failure 1 "standard input: frame 1 is truncated" -- -i - -o out.y4m
stdin_file=f_cut_second.y4m expect_failure 1 "frame 1 is truncated" -- -i - --sweep --stats stats.json

# Pictures: a damaged PNG, an unknown kind of file.
"$VARDELK" -q -i builtin:demo:32x16 -o still.png || exit 1
head -c 60 still.png >damaged.png
expect_failure 1 "damaged.png: " -- -i damaged.png -o out.y4m
expect_failure 1 "cannot be opened" -- -i missing.y4m -o out.y4m
expect_failure 1 "expected builtin:demo or builtin:demo:WIDTHxHEIGHT" -- -i builtin:demo:0x10 -o out.y4m
expect_failure 1 "expected builtin:demo or builtin:demo:WIDTHxHEIGHT" -- -i builtin:demo:99999999999x10 -o out.y4m
expect_failure 1 "expected builtin:demo or builtin:demo:WIDTHxHEIGHT" -- -i builtin:demo:16x16x -o out.y4m
expect_failure 1 "missing.png: cannot read PNG" -- -i missing.png -o out.y4m

# Matrix files.
numbers 63 >m63.txt
numbers 65 >m65.txt
{ echo 0; numbers 63; } >m_zero.txt
{ numbers 40; echo 4096; numbers 23; } >m_4096.txt
expect_failure 1 "matrix file m63.txt: holds 63 numbers; a matrix needs exactly 64" -- -i good.y4m -m m63.txt -o out.y4m
expect_failure 1 "matrix file m65.txt: holds 65 numbers" -- -i good.y4m -m m65.txt -o out.y4m
expect_failure 1 "matrix file m_zero.txt: entry 1 (row 1, column 1) is 0; matrix entries must be 1..4095" -- -i good.y4m -m m_zero.txt -o out.y4m
expect_failure 1 "matrix file m_4096.txt: entry 41 (row 6, column 1) is 4096" -- -i good.y4m -m m_4096.txt -o out.y4m
expect_failure 1 "matrix file nothere.txt: cannot be opened" -- -i good.y4m -m nothere.txt -o out.y4m
expect_failure 1 "matrix file m63.txt" -- -i good.y4m --sweep -m default -m m63.txt --stats stats.csv

# Settings out of range and wrong combinations: a usage error, status 2.
expect_failure 2 "--scale 0: out of range; the scale code must be 1..31" -- -i good.y4m -s 0 -o out.y4m
expect_failure 2 "--scale 32: out of range" -- -i good.y4m -s 32 -o out.y4m
expect_failure 2 "--scale x: not an integer" -- -i good.y4m -s x -o out.y4m
expect_failure 2 "--frames 0: out of range" -- -i good.y4m -n 0 -o out.y4m
expect_failure 2 "--difference-gain 65: out of range" -- -i good.y4m --picture picture.png --difference-gain 65
expect_failure 2 "several matrices need --sweep" -- -i good.y4m -m default -m flat16 -o out.y4m
expect_failure 2 "--scale cannot be used with --sweep" -- -i good.y4m --sweep -s 3
expect_failure 2 "only one output can go to standard output" -- -i good.y4m -o - --stats -
expect_failure 2 "--input is required" -- -o out.y4m
# Typos and missing words in our own words, for the simulator and the search.
expect_failure 2 "vardelk: unknown option '--scael' (did you mean '--scale'?)" -- -i good.y4m --scael 8 -o out.y4m
expect_failure 2 "vardelk: unknown command 'serach' (did you mean 'search'?)" -- serach pics/
expect_failure 2 "vardelk: --scale needs a value (CODE)" -- -i good.y4m -s
expect_failure 2 "vardelk search: unknown option '--mesure' (did you mean '--measure'?)" -- search --mesure ssim good.y4m
expect_failure 1 ".yc or .m2v (the MPEG-2 stream)" -- -i good.y4m -o out.mp4
expect_failure 2 "--save-input out.yc: the input copy is written as .y4m or .png" -- -i good.y4m --save-input out.yc
expect_failure 2 "--encoder: unknown encoder 'x264' (filter, ffmpeg, mpeg2enc, tm5)" -- -i good.y4m --encoder x264 -o out.y4m
expect_failure 2 "--dc-precision 12: out of range" -- -i good.y4m --encoder ffmpeg --dc-precision 12 -o out.y4m
expect_failure 2 "--intra-vlc 2: out of range" -- -i good.y4m --intra-vlc 2 --sweep --stats stats.csv
expect_failure 2 "--confirm x264: only ffmpeg" -- -i good.y4m --sweep --confirm x264 --stats stats.csv
expect_failure 2 "--confirm needs --sweep" -- -i good.y4m --confirm ffmpeg -o out.y4m
# A wrong scale-code list or band is a wrong command line, named by its option.
expect_failure 2 "--codes 4,8: needs at least 4 distinct scale codes" -- -i good.y4m --sweep --codes 4,8 --stats stats.csv
expect_failure 2 "vardelk compare: --codes 4,8: needs at least 4" -- compare good.y4m --codes 4,8 --out out.cmp
expect_failure 2 "vardelk search: --bpp 3: expected A..B bits per pixel" -- search good.y4m --bpp 3 --out out.search
# A real encoder's matrix holds 8-bit AC entries; the DC weight is free.
{ numbers 10; echo 256; numbers 53; } >m_256.txt
{ echo 999; numbers 63; } >m_dc999.txt
expect_failure 1 "matrix m_256.txt: entry 11 (row 2, column 3) is 256; the mpeg2enc model carries matrix entries 1..255" -- -i good.y4m --encoder mpeg2enc -m m_256.txt -o out.y4m
expect_failure 1 "matrix m_256.txt: entry 11 (row 2, column 3) is 256; the tm5 (dc 9) model" -- -i good.y4m --sweep --encoder tm5 --dc-precision 9 -m m_256.txt --stats stats.csv
"$VARDELK" -q -i good.y4m --encoder ffmpeg -m m_dc999.txt -o out.y4m && rm out.y4m ||
  { echo "FAIL: a DC weight of 999 refused for the ffmpeg model"; failures=$((failures + 1)); }

# Outputs that cannot be written, found before or after the work.
mkdir dir.y4m
expect_failure 1 "/nonexistent/out.y4m: cannot be written" -- -i good.y4m -o /nonexistent/out.y4m
expect_failure 1 "/nonexistent/stats.csv: cannot be written" -- -i good.y4m -o out.y4m --stats /nonexistent/stats.csv
expect_failure 1 "/nonexistent/rd.svg: cannot be written" -- -i good.y4m --sweep --plot /nonexistent/rd.svg
expect_failure 1 "dir.y4m: cannot be written" -- -i good.y4m -o dir.y4m
# A folder named as a later output stops the run before it writes anything.
mkdir dir.m2v dir.csv
expect_failure 1 "dir.m2v: cannot be written (Is a directory)" -- -i good.y4m -o out.y4m --stream dir.m2v
expect_failure 1 "dir.csv: cannot be written (Is a directory)" -- -i good.y4m -o out.y4m --picture picture.png --stats dir.csv
expect_failure 1 "/nonexistent/f_0.png: cannot be written" -- -i good.y4m -o out.y4m --save-input /nonexistent/f_%d.png
expect_failure 1 "unknown kind of output" -- -i good.y4m -o out.mp4
expect_failure 1 "holds one picture but the clip has more frames" -- -i good.y4m -o out.png
expect_failure 1 "--picture-frame 5: the clip has only 2 frames" -- -i good.y4m -o out.y4m --picture picture.png --picture-frame 5
expect_failure 1 "--log /nonexistent" -- -i good.y4m --log /nonexistent

if [ "$failures" -ne 0 ]; then
  echo "$failures bad-input case(s) failed"
  exit 1
fi
echo "all bad-input cases rejected cleanly"
