# vardelk search stopped by SIGINT: exit status 130, and every output
# written whole with the best matrix so far (DC 8, AC entries 1..255).
set -u
: "${VARDELK:?path of the vardelk command}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$VARDELK" -i builtin:demo -s 1 --save-input scene.png -q || exit 1
for i in 1 2 3 4 5 6 7 8; do echo scene.png; done > set.txt  # slow enough to be stopped midway
"$VARDELK" search set.txt --measure ssim --budget 0 -j 2 --out result -q &
pid=$!
sleep 3
kill -INT "$pid"
wait "$pid"
status=$?
if [[ $status -ne 130 ]]; then echo "exit status $status, expected 130"; exit 1; fi
grep -q '"stop": "stopped"' result/report.json || { echo "report does not say stopped"; exit 1; }
for form in plain ffmpeg x264 mpeg2enc cjpeg; do
    [[ -s result/matrix.$form.txt ]] || { echo "matrix.$form.txt missing"; exit 1; }
done
[[ -s result/rd.svg && -s result/rd.png ]] || { echo "plot missing"; exit 1; }
# The report's matrix and the plain file agree, entries in range.
python3 - <<'PY' || exit 1
import json, re
report = json.load(open("result/report.json"))
flat = [v for row in report["matrix"] for v in row] if isinstance(report["matrix"][0], list) else report["matrix"]
plain = [int(v) for v in re.findall(r"-?\d+", re.sub(r"#.*", "", open("result/matrix.plain.txt").read()))]
assert flat == plain, (flat, plain)
assert flat[0] == 8 and all(1 <= v <= 255 for v in flat[1:]), flat
assert report["objective"] <= 0, report["objective"]
PY
ls result | grep -q 'partial' && { echo "temporary file left behind"; exit 1; }

# Ctrl-C while ffmpeg confirms the found matrix (it reaches ffmpeg too: the
# whole process group is signalled) ends the confirmation, not the outputs.
source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
vardelk_needs ffmpeg pgrep setsid
mkdir tmp
# (Twelve candidates find a matrix that beats both presets here: a preset
# answer has nothing to confirm.)
TMPDIR=$work/tmp setsid "$VARDELK" search set.txt --dc-precision 10 --codes 4..7 --evaluations 12 --budget 0 -j 2 \
    --out confirming -q &
pid=$!
for _ in $(seq 600); do pgrep -P "$pid" -x ffmpeg >/dev/null && break; sleep 0.1; done
kill -INT -- "-$pid"
wait "$pid"
status=$?
if [[ $status -ne 130 ]]; then echo "interrupted confirmation: exit status $status, expected 130"; exit 1; fi
python3 - <<'PY' || exit 1
import json
report = json.load(open("confirming/report.json"))
assert report["confirmation"] == "not confirmed: the confirmation was interrupted", report["confirmation"]
assert report["stop"] == "evaluations" and report["answer"] == "found", report["stop"]
PY
[[ -s confirming/matrix.plain.txt && -s confirming/rd.png ]] || { echo "outputs missing after the confirmation"; exit 1; }
[[ -z "$(ls tmp)" ]] || { echo "scratch files left: $(ls tmp)"; exit 1; }

# An encoder that fails in the confirmation fails the run, but the search's
# answer is kept in complete outputs that say why it is not confirmed.
mkdir fake
printf '#!/bin/sh\necho "the encoder broke" >&2\nexit 1\n' > fake/ffmpeg
chmod +x fake/ffmpeg
PATH=$work/fake:$PATH "$VARDELK" search set.txt --dc-precision 10 --codes 4..7 --evaluations 12 --budget 0 -j 2 \
    --out failing -q 2> failing.err
status=$?
if [[ $status -ne 1 ]]; then echo "failed confirmation: exit status $status, expected 1"; exit 1; fi
grep -q "the encoder broke" failing.err || { echo "the encoder's message is not shown: $(cat failing.err)"; exit 1; }
python3 - <<'PY' || exit 1
import json
report = json.load(open("failing/report.json"))
assert report["confirmation"].startswith("not confirmed: ") and "failed" in report["confirmation"], report["confirmation"]
assert report["answer"] == "found", report["answer"]
PY
[[ -s failing/matrix.plain.txt && -s failing/rd.png ]] || { echo "outputs missing after a failed confirmation"; exit 1; }
exit 0
