# vardelk search for a coding model: bad model options are refused with a
# message naming the option; the outputs name the model; the real encoder's
# confirmation is reported when it is installed.
set -u
: "${VARDELK:?path of the vardelk command}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$VARDELK" -i builtin:demo:176x144 -s 1 --save-input scene.png -q || exit 1
for bad in "--encoder x264:--encoder" "--intra-vlc 2:--intra-vlc" "--dc-precision 12:--dc-precision" \
           "--dc-precision 7:--dc-precision"; do
    args=${bad%%:*}
    # shellcheck disable=SC2086
    "$VARDELK" search scene.png $args --evaluations 1 --out bad -q 2> err.txt
    status=$?
    [[ $status -eq 2 ]] || { echo "$args: exit status $status, expected 2"; exit 1; }
    grep -q -- "${bad##*:}" err.txt || { echo "$args: message does not name the option"; cat err.txt; exit 1; }
done

"$VARDELK" search 2> err.txt
status=$?
[[ $status -eq 2 ]] || { echo "no pictures: exit status $status, expected 2"; exit 1; }
grep -q "^vardelk search: no pictures given (usage: vardelk search PICTURES" err.txt || { cat err.txt; exit 1; }

# One candidate cannot beat the default here: the answer is the default or
# a named matrix that beats it, said plainly, the files hold it, and the
# folder keeps nothing of an earlier run's.
mkdir kept && touch kept/confirmation.png kept/confirmation.svg
"$VARDELK" search scene.png --measure ssim --evaluations 1 --no-confirm --out kept/ > out.txt || exit 1
answer=$(python3 -c 'import json; print(json.load(open("kept/report.json"))["answer"])')
[[ $answer != found ]] || { echo "one candidate answered"; exit 1; }
if [[ $answer == default ]]; then
  grep -qx "keep the default matrix: nothing found beats it on these pictures" out.txt || { cat out.txt; exit 1; }
else
  grep -qx "no matrix found beats $answer here: the answer is $answer" out.txt || { cat out.txt; exit 1; }
  grep -q "^ffmpeg: -intra_matrix 8," out.txt || { cat out.txt; exit 1; }
fi
grep -q "kept//\|^.*//" out.txt && { echo "doubled slash"; cat out.txt; exit 1; }
[[ ! -e kept/confirmation.png && ! -e kept/confirmation.svg ]] || { echo "an earlier run's plots left"; exit 1; }
"$VARDELK" -m "$answer" --write-matrix named.txt || exit 1
"$VARDELK" -m kept/matrix.plain.txt --write-matrix answer.txt || exit 1
cmp -s named.txt answer.txt || { echo "the files do not hold $answer"; exit 1; }

"$VARDELK" search scene.png --dc-precision 10 --codes 4..7 --evaluations 12 -j 2 --out found -q || exit 1
python3 - <<'PY' || exit 1
import json, shutil
r = json.load(open("found/report.json"))
assert r["model"] == "ffmpeg (dc 10)" and r["dc_precision"] == 10, r["model"]
assert r["evaluations_per_second"] > 0
for form in ("plain", "mpeg2enc", "x264", "cjpeg"):
    assert "ffmpeg (dc 10)" in open(f"found/matrix.{form}.txt").readline(), form
c = r["confirmation"]
if shutil.which("ffmpeg"):
    assert c["encoder"] == "ffmpeg" and c["set"] == "training", c
    predicted = r["training"]["pictures"][0]["curves"]
    measured = c["measured"]["pictures"][0]["curves"]
    for name in ("default", "flat16", "found"):
        for (code, bytes_p, q_p), (_, bytes_m, q_m) in zip(predicted[name], measured[name]):
            assert abs(bytes_m / bytes_p - 1) < 0.02 and abs(q_m - q_p) < 0.1, (name, code, bytes_p, bytes_m, q_p, q_m)
else:
    assert c.startswith("not confirmed"), c
PY
# The commented files are still matrices the tools read, equal to the plain one.
"$VARDELK" -m found/matrix.plain.txt --write-matrix plain.txt || exit 1
for form in mpeg2enc x264 cjpeg ffmpeg; do
    "$VARDELK" -m "$form:found/matrix.$form.txt" --write-matrix back.txt || { echo "matrix.$form.txt unreadable"; exit 1; }
    cmp -s plain.txt back.txt || { echo "matrix.$form.txt reads back as another matrix"; exit 1; }
done
source "$(dirname "${BASH_SOURCE[0]}")/../../testing/skip.sh"
vardelk_needs ffmpeg  # the rest passed; the confirmation's figures were not checked
exit 0
