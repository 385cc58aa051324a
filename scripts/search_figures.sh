#!/usr/bin/env bash
# Reproduces the matrix search's figures (docs/search.md): prepares the
# training and validation pictures from the Debian packages, searches a
# matrix for each coding model and measure within the budget, checks it on
# the validation pictures, has the real encoder confirm it where installed,
# and prints the table of predicted and measured BD-rates.
#   scripts/search_figures.sh [OUTDIR (default out/search)] [BUDGET (default 10m)]
#                             [RUNS (default "ffmpeg:psnr ffmpeg:ssim")]
# A run is ENCODER:MEASURE, e.g. filter:ssim or ffmpeg:psnr; a MEASURE alone
# is a run for the ffmpeg model.
# SPEED=1 also times 60 matrices of each run's model with one thread and with two.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/out/search}
budget=${2:-10m}
runs=${3:-ffmpeg:psnr ffmpeg:ssim}
vardelk=${VARDELK:-$root/build/native/cli/vardelk}

"$root/scripts/setup.sh"
# The photographs' packages are needed here only, not by the tests.
mapfile -t photos < <(sed 's/#.*//' "$root/search/sets/packages.txt" | xargs -n1)
missing=()
for p in "${photos[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if ((${#missing[@]})); then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
[[ -x "$vardelk" ]] || "$root/scripts/build.sh" native
"$root/search/sets/prepare.sh" "$root/search/sets/training.txt" "$out/training"
"$root/search/sets/prepare.sh" "$root/search/sets/validation.txt" "$out/validation"

runs=$(for run in $runs; do [[ $run == *:* ]] && echo "$run" || echo "ffmpeg:$run"; done)
for run in $runs; do
    encoder=${run%%:*} measure=${run##*:}
    dir="$out/$encoder-$measure"
    mkdir -p "$dir"
    "$vardelk" search "$out/training/set.txt" --validate "$out/validation/set.txt" --encoder "$encoder" \
        --measure "$measure" --budget "$budget" --seed 1 --out "$dir" | tee "$dir/summary.txt" || true
    if [[ "${SPEED:-0}" == 1 ]]; then
        for j in 1 2 1 2; do
            "$vardelk" search "$out/training/set.txt" --encoder "$encoder" --measure "$measure" --evaluations 60 \
                --budget 0 --no-confirm -j $j -q --out "$dir/speed-j$j"
            python3 -c "import json,sys; r=json.load(open(sys.argv[1])); print(f'{sys.argv[2]} -j {r[\"threads\"]}: {r[\"evaluations_per_second\"]:.3f} matrices/s')" \
                "$dir/speed-j$j/report.json" "$run" | tee -a "$dir/speed.txt"
        done
    fi
done

# One table per run: the search's predictions on both sets and, where the
# real encoder ran, its measured figures on the validation set.
python3 - "$out" $runs <<'PY'
import json, sys
out, runs = sys.argv[1], sys.argv[2:]
f = lambda v: "   n/a " if v is None else f"{v:+6.2f}%"
print(f"{'run':13} {'figures':22} {'vs default':>10} {'worst':>8} {'vs flat16':>10} {'vs better':>10} {'worst':>8}"
      "  matrices/s")
for run in runs:
    r = json.load(open(f"{out}/{run.replace(':', '-')}/report.json"))
    rows = [(n, r.get(n)) for n in ("training", "validation")]
    c = r.get("confirmation")
    if isinstance(c, dict):
        rows.append((f"{c['set']} ({c['encoder']})", c["measured"]))
    for name, s in rows:
        if not isinstance(s, dict):
            continue
        print(f"{run:13} {name:22} {f(s['bd_rate_vs_default']):>10} {f(s['worst_vs_default']):>8} "
              f"{f(s['bd_rate_vs_flat16']):>10} {f(s['bd_rate_vs_better_of_default_flat16']):>10} "
              f"{f(s['worst_vs_better_of_default_flat16']):>8}  "
              f"{r['evaluations_per_second']:.2f}")
    if isinstance(c, dict):
        print(f"{'':13} {'confirmed' if c['confirmed'] else 'NOT confirmed: ' + '; '.join(c['failures'])}")
PY
