#!/usr/bin/env bash
# A sweep confirmed by ffmpeg: the measured figures stand beside the
# predicted ones, the ffmpeg model's predicted bytes track the real stream's
# (short of its fixed headers), and a missing or failing ffmpeg stops the sweep with a message, no output
# written and no temporary file left.
source "$(dirname "${BASH_SOURCE[0]}")/script_setup.sh"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export TMPDIR=$work/tmp
mkdir "$TMPDIR"
"$MAKE_TEST_CLIP" pic.y4m 128 96 1 420jpeg || exit 1

# expect_refusal MESSAGE -- ENV...: a confirmed sweep run with the environment
# given must fail with MESSAGE and leave nothing behind.
expect_refusal() {
  local message=$1; shift 2
  local status=0
  env "$@" "$VARDELK" -i pic.y4m --sweep --confirm ffmpeg --stats gone.csv --plot gone.svg -j 2 2>err.txt ||
    status=$?
  if [ "$status" -ne 1 ] || ! grep -qF -- "$message" err.txt || [ -e gone.csv ] || [ -e gone.svg ] ||
    [ -n "$(ls "$TMPDIR")" ]; then
    fail "$*: status $status, stderr $(cat err.txt), left: $(ls gone.* "$TMPDIR" 2>/dev/null)"
  fi
}
expect_refusal "--confirm ffmpeg: ffmpeg is not on PATH" -- PATH=/nonexistent

source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
vardelk_needs ffmpeg
real_ffmpeg=$(command -v ffmpeg)
# An ffmpeg that fails on its fifth run, part-way through the sweep.
mkdir bin
cat >bin/ffmpeg <<EOF
#!/bin/sh
echo x >>"$work/calls"
[ \$(wc -l <"$work/calls") -lt 5 ] || { echo "simulated failure" >&2; exit 3; }
exec "$real_ffmpeg" "\$@"
EOF
chmod +x bin/ffmpeg
expect_refusal "(exit status 3):
simulated failure" -- PATH="$work/bin:$PATH"

"$VARDELK" -i pic.y4m --sweep --sweep-nonlinear --encoder ffmpeg --intra-vlc 1 --dc-precision 9 --confirm ffmpeg \
  --butteraugli --stats sweep.csv --plot rd.svg -j 3 >table.txt || fail "confirmed sweep"
[ -z "$(ls "$TMPDIR")" ] || fail "temporary files left: $(ls "$TMPDIR")"
grep -q "coding model: ffmpeg (intra_vlc 1, dc 9); measured by ffmpeg" table.txt || fail "table: $(head -2 table.txt)"
grep -q "^measured by ffmpeg:" table.txt || fail "no measured Bjontegaard table"
[ "$(grep -c 'stroke-dasharray' rd.svg)" -ge 2 ] || fail "no dashed curve on the plot"
python3 - sweep.csv <<'PY' || fail "measured against predicted"
import csv, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1])))
assert len(rows) == 62 and all(r["model"] == "ffmpeg (intra_vlc 1, dc 9)" for r in rows)
# ffmpeg's non-linear quantiser stops at code 28.
unmeasured = [(r["mapping"], int(r["scale_code"])) for r in rows if r["measured_mean_bytes"] == ""]
assert unmeasured == [("non-linear", c) for c in (29, 30, 31)], unmeasured
measured = [r for r in rows if r["measured_mean_bytes"]]
# The stream adds a fixed cost per picture (headers, matrix, slice and
# macroblock headers); beyond it the estimate must be within 3%.
extra = [float(r["measured_mean_bytes"]) - float(r["mean_bytes"]) for r in measured]
overhead = statistics.median(extra)
assert 0 < overhead < 300, overhead
for r, e in zip(measured, extra):
    assert abs(e - overhead) <= 0.03 * float(r["mean_bytes"]), (r["mapping"], r["scale_code"], e, overhead)
    assert abs(float(r["measured_psnr_y"]) - float(r["psnr_y"])) < 0.5, (r["scale_code"], r["psnr_y"])
    # ffmpeg's pictures measured by Butteraugli in this process, near the prediction.
    assert abs(float(r["measured_butteraugli_3norm"]) / float(r["butteraugli_3norm"]) - 1) < 0.1, (
        r["scale_code"], r["butteraugli_3norm"], r["measured_butteraugli_3norm"])
assert all(r["measured_butteraugli_3norm"] == "" for r in rows if r["measured_mean_bytes"] == "")
print(f"ffmpeg's stream: {overhead:.0f} bytes beyond the estimate per picture, "
      f"estimate within {max(abs(e - overhead) / float(r['mean_bytes']) for r, e in zip(measured, extra)):.2%}")
PY

if [ "$failures" -ne 0 ]; then
  echo "$failures confirmation check(s) failed"
  exit 1
fi
echo "all confirmation checks passed"
