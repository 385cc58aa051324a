#!/usr/bin/python3
"""Checks bd_tool's Bjontegaard figures against scipy and numpy.

Usage: bd_reference.py BD_TOOL SWEEP.csv...

Curves come from the sweep CSVs (every matrix and mapping against the first,
on luma and chroma PSNR, with all scale codes and with four of them) and from
seeded random curves, some of them not monotonic. The same figures are
computed with scipy.interpolate.PchipInterpolator, Akima1DInterpolator and
numpy.polyfit, and every figure must agree to 1e-4 (percentage points for
BD-rate, quality units for BD-quality); a figure one side cannot compute
must be one the other cannot compute either. Figures beyond 1e5 are held to
a relative 1e-9 instead.
"""
import csv
import math
import random
import subprocess
import sys
import tempfile

import numpy as np
from scipy.interpolate import Akima1DInterpolator, PchipInterpolator

LIMIT = 1e-4
MINIMUM = {"pchip": 2, "akima": 3, "cubic": 4}


def integral(method, x, y, lo, hi):
    if method == "pchip":
        return PchipInterpolator(x, y).integrate(lo, hi)
    if method == "akima":
        return Akima1DInterpolator(x, y).integrate(lo, hi)
    primitive = np.polyint(np.polyfit(x, y, 3))
    return np.polyval(primitive, hi) - np.polyval(primitive, lo)


def mean_difference(method, anchor, test):
    """Mean of test - anchor over the shared x range; None if not computable."""
    curves = []
    for points in (anchor, test):
        points = sorted(points)
        xs = [p[0] for p in points]
        if len(points) < MINIMUM[method] or len(set(xs)) != len(xs):
            return None
        curves.append((np.array(xs), np.array([p[1] for p in points])))
    (ax, ay), (tx, ty) = curves
    lo, hi = max(ax[0], tx[0]), min(ax[-1], tx[-1])
    if not hi > lo:
        return None
    return (integral(method, tx, ty, lo, hi) - integral(method, ax, ay, lo, hi)) / (hi - lo)


def figures(method, anchor, test):
    usable = lambda c: [(b, q) for b, q in c if math.isfinite(q) and math.isfinite(b) and b > 0]
    anchor, test = usable(anchor), usable(test)
    rate = mean_difference(method, [(q, math.log(b)) for b, q in anchor], [(q, math.log(b)) for b, q in test])
    quality = mean_difference(method, [(math.log(b), q) for b, q in anchor], [(math.log(b), q) for b, q in test])
    return (None if rate is None else math.expm1(rate) * 100), quality


def sweep_pairs(path):
    curves = {}
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            key = row["matrix"] + " " + row["mapping"]
            curves.setdefault(key, []).append(row)
    names = list(curves)
    pairs = {}
    for name in names[1:]:
        for column in ("psnr_y", "psnr_cb"):
            for subset, codes in (("all", None), ("four", {"2", "5", "10", "20"})):
                pick = lambda rows: [(float(r["mean_bytes"]), float(r[column])) for r in rows
                                     if codes is None or r["scale_code"] in codes]
                label = f"{path.rsplit('/', 1)[-1]}:{name}:{column}:{subset}"
                pairs[label.replace(",", ";")] = (pick(curves[names[0]]), pick(curves[name]))
    return pairs


def random_pairs(count):
    rng = random.Random(20240611)
    pairs = {}
    for k in range(count):
        def curve():
            n = rng.randint(3, 8)
            bytes_ = 2000 * rng.uniform(0.5, 2)
            slope, noise = rng.uniform(2, 6), rng.choice([0.0, 0.3, 2.0])
            points = []
            for _ in range(n):
                bytes_ *= rng.uniform(1.2, 2.5)
                points.append((bytes_, 5 + slope * math.log(bytes_) + rng.uniform(-noise, noise)))
            return points
        pairs[f"random{k}"] = (curve(), curve())
    return pairs


def main():
    tool, sweeps = sys.argv[1], sys.argv[2:]
    pairs = {}
    for path in sweeps:
        pairs.update(sweep_pairs(path))
    pairs.update(random_pairs(200))
    with tempfile.NamedTemporaryFile("w", suffix=".csv") as f:
        for name, (anchor, test) in pairs.items():
            for role, points in (("anchor", anchor), ("test", test)):
                for b, q in points:
                    f.write(f"{name},{role},{b!r},{q!r}\n")
        f.flush()
        output = subprocess.run([tool, f.name], check=True, capture_output=True, text=True).stdout
    failures, worst, counted = 0, {}, {}
    for line in output.splitlines():
        name, method, rate, quality = line.split(",")
        expected = figures(method, *pairs[name])
        for what, ours, theirs in (("BD-rate", rate, expected[0]), ("BD-quality", quality, expected[1])):
            if ours == "-" or theirs is None:
                if (ours == "-") != (theirs is None):
                    print(f"FAIL {name} {method} {what}: ours {ours}, scipy {theirs}")
                    failures += 1
                continue
            difference = abs(float(ours) - theirs)
            key = (method, what)
            worst[key] = max(worst.get(key, 0.0), difference / max(1.0, abs(theirs) / 1e5))
            counted[key] = counted.get(key, 0) + 1
            # Absurd figures from wild random curves (1e11 %) are held to
            # their last digits instead.
            if not difference <= max(LIMIT, 1e-9 * abs(theirs)):
                print(f"FAIL {name} {method} {what}: ours {ours}, scipy {theirs!r}")
                failures += 1
    for (method, what), d in sorted(worst.items()):
        print(f"{method:6} {what:10}: {counted[(method, what)]:4} figures, largest difference {d:.3g}")
    if len(counted) != 6:
        print("FAIL: some method produced no figure")
        failures += 1
    if failures:
        print(f"{failures} comparison(s) failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
