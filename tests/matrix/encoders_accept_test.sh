#!/usr/bin/env bash
# The matrix files we write, handed to the real encoders: each must run
# without complaint and, read back from what it wrote, use our matrix in
# natural order (the canary is asymmetric, so a transposed copy fails).
set -uo pipefail
probe=${MATRIX_PROBE:?}
source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
vardelk_needs ffmpeg x264 mpeg2enc cjpeg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 2 -pix_fmt yuv420p in.y4m &&
  ffmpeg -nostdin -loglevel error -i in.y4m -frames:v 1 in.ppm || { echo "FAIL: cannot make the input"; exit 1; }
for form in ffmpeg x264 mpeg2enc cjpeg; do
  "$probe" write "$form" "m.$form" || fail "writing the $form form"
done
expected=$("$probe" canary)

# check NAME COMMAND...: the command succeeds and prints nothing on stderr.
check() {
  local name=$1; shift
  if ! "$@" 2>"$name.err"; then fail "$name exits with $?: $(head -c 400 "$name.err")"; return 1; fi
  if grep -qiE 'error|invalid|malformed|ignor' "$name.err"; then fail "$name complains: $(head -c 400 "$name.err")"; fi
  return 0
}
# same NAME KIND FILE: the matrix in the encoder's output is the canary.
same() {
  local got
  got=$("$probe" "$2" "$3") || { fail "$1: no matrix in its output"; return; }
  [ "$got" = "$expected" ] || fail "$1 uses $got, expected $expected"
}

check ffmpeg ffmpeg -nostdin -loglevel warning -i in.y4m -c:v mpeg2video -g 1 -qscale:v 4 \
  -intra_matrix "$(cat m.ffmpeg)" -f mpeg2video ff.m2v && same ffmpeg mpeg2 ff.m2v
# The option printed beside a verdict, pasted as it is.
read -ra option < <("$probe" option) || fail "printing ffmpeg's option"
check ffmpeg-option ffmpeg -nostdin -loglevel warning -i in.y4m -c:v mpeg2video -g 1 -qscale:v 4 "${option[@]}" \
  -f mpeg2video fo.m2v && same "ffmpeg's option" mpeg2 fo.m2v
check mpeg2enc bash -c 'mpeg2enc -v 0 -f 3 -b 5000 -q 4 -K file=m.mpeg2enc -o me.m2v < in.y4m' && same mpeg2enc mpeg2 me.m2v
check x264 x264 --quiet --no-progress --cqmfile m.x264 -o x.264 in.y4m && same x264 h264 x.264
check cjpeg cjpeg -quality 50 -qtables m.cjpeg -outfile c.jpg in.ppm && same cjpeg jpeg c.jpg

[ "$failures" -eq 0 ] && echo "every encoder took our matrix as written"
exit $((failures > 0))
