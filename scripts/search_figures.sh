#!/usr/bin/env bash
# Reproduces the matrix search's figures in the README: prepares the
# training and validation pictures from the Debian packages, searches a
# matrix for each measure within the budget, checks it on the validation
# pictures and prints the table.
#   scripts/search_figures.sh [OUTDIR (default out/search)] [BUDGET (default 10m)] [MEASURES (default "psnr ssim")]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/out/search}
budget=${2:-10m}
measures=${3:-psnr ssim}
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

for measure in $measures; do
    mkdir -p "$out/$measure"
    "$vardelk" search "$out/training/set.txt" --validate "$out/validation/set.txt" --measure "$measure" \
        --budget "$budget" --seed 1 --out "$out/$measure" | tee "$out/$measure/summary.txt" || true
done

# One table: mean and worst BD-rate against the default, mean against flat16.
python3 - "$out" $measures <<'PY'
import json, sys
out, measures = sys.argv[1], sys.argv[2:]
print(f"{'measure':8} {'set':10} {'vs default':>10} {'worst':>8} {'vs flat16':>10}  matrices  seconds")
for m in measures:
    r = json.load(open(f"{out}/{m}/report.json"))
    for name in ("training", "validation"):
        s = r.get(name)
        if not isinstance(s, dict):
            continue
        print(f"{m:8} {name:10} {s['bd_rate_vs_default']:+9.2f}% {s['worst_vs_default']:+7.2f}% "
              f"{s['bd_rate_vs_flat16']:+9.2f}%  {r['evaluations']:8d}  {r['seconds']:7.0f}")
PY
