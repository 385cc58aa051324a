#!/usr/bin/env bash
# SSIMULACRA 2 and Butteraugli on the command line: vardelk measure scores a
# coded clip as the run and the sweep score it (every face the same 4:2:0
# planes through one RGB conversion, prepared originals or not), and refuses
# pairs that do not match with a message and status 1.
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# column NAME FILE ROW: the named CSV column of data row ROW (1 = first).
column() {
  awk -F, -v name="$1" -v row="$3" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i }
    NR == row + 1 { print $c }' "$2"
}

for chroma in 420jpeg 444; do
  "$MAKE_TEST_CLIP" "a_$chroma.y4m" 72 40 2 "$chroma" || exit 1
  "$VARDELK" -i "a_$chroma.y4m" -s 8 -n 2 -o "b_$chroma.y4m" --ssimulacra2 --butteraugli \
    --stats "run_$chroma.csv" -q || fail "run --ssimulacra2 --butteraugli on $chroma"
  "$VARDELK" -i "a_$chroma.y4m" -n 2 --sweep -m default -m flat16 --ssimulacra2 --butteraugli \
    --stats "sweep_$chroma.csv" -q || fail "sweep --ssimulacra2 --butteraugli on $chroma"
  run=$(column ssimulacra2 "run_$chroma.csv" 3)  # the total row: the mean of both frames
  sweep=$(column ssimulacra2 "sweep_$chroma.csv" 8)  # default linear, scale code 8
  [ -n "$run" ] && [ "$run" = "$sweep" ] || fail "$chroma: the run scores $run, the sweep's point $sweep"
  [ -n "$(column bd_rate_ssimulacra2 "sweep_$chroma.csv" 40)" ] || fail "$chroma: no SSIMULACRA 2 BD-rate in the sweep"
  run=$(column butteraugli_3norm "run_$chroma.csv" 3)
  sweep=$(column butteraugli_3norm "sweep_$chroma.csv" 8)
  [ -n "$run" ] && [ "$run" = "$sweep" ] || fail "$chroma: Butteraugli: the run measures $run, the sweep's point $sweep"
  [ -n "$(column bd_rate_butteraugli "sweep_$chroma.csv" 40)" ] || fail "$chroma: no Butteraugli BD-rate in the sweep"
done

# A 4:2:0 clip is measured as the run scored it, frame by frame.
"$VARDELK" measure a_420jpeg.y4m b_420jpeg.y4m --json >measure.json || fail "measure of two clips"
for frame in 0 1; do
  want=$(column ssimulacra2 run_420jpeg.csv $((frame + 1)))
  distance=$(column butteraugli_3norm run_420jpeg.csv $((frame + 1)))
  grep -q "{\"frame\": $frame, .*\"ssimulacra2\": $want, .*\"butteraugli_3norm\": $distance}" measure.json ||
    fail "measure frame $frame is not $want, 3-norm $distance"
done
"$VARDELK" measure a_420jpeg.y4m a_420jpeg.y4m | grep -qE '^ +mean +inf +inf +inf +1\.000000 +100\.0000 +0\.0000 +0\.0000$' ||
  fail "a clip against itself is not perfect"

# Pictures are scored in their own RGB.
"$VARDELK" -i a_444.y4m -n 1 -o a.png -q && "$VARDELK" -i a_444.y4m -n 1 -s 12 -o b.png -q || exit 1
"$VARDELK" measure a.png a.png --json | grep -q '"ssimulacra2": 100.0000, "butteraugli": 0.0000, "butteraugli_3norm": 0.0000}' || fail "a picture against itself"
"$VARDELK" measure a.png b.png >pictures.txt && grep -q "^ *mean " pictures.txt || fail "measure of two pictures"

# expect_failure STATUS MESSAGE -- ARGS...
expect_failure() {
  local want_status=$1 want_message=$2; shift 3
  local status=0
  "$VARDELK" measure "$@" >stdout.txt 2>stderr.txt || status=$?
  if [ "$status" -ne "$want_status" ] || ! grep -qF -- "$want_message" stderr.txt || [ -s stdout.txt ]; then
    echo "FAIL: vardelk measure $*: status $status (wanted $want_status); stderr: $(cat stderr.txt)"
    failures=$((failures + 1))
  fi
}
"$MAKE_TEST_CLIP" small.y4m 64 40 2 420jpeg && "$MAKE_TEST_CLIP" one.y4m 72 40 1 420jpeg || exit 1
expect_failure 1 "differ in size: a_420jpeg.y4m is 72x40, small.y4m is 64x40" -- a_420jpeg.y4m small.y4m
expect_failure 1 "differ in length: a_420jpeg.y4m has 2 frames, one.y4m has 1" -- a_420jpeg.y4m one.y4m
expect_failure 1 "differ in chroma layout" -- a_420jpeg.y4m a_444.y4m
expect_failure 1 "missing.png" -- a.png missing.png
expect_failure 2 "no DISTORTED given" -- a.png

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "measure: all checks passed"
