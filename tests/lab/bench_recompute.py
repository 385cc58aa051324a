"""Recompute time of a 1920x1080 picture in the lab page, headless chromium:
from a change of the scale code to the new frame drawn, median of several
changes, for each core. Measured with the page idle (its background sweep
done) and while the sweep runs, as when a slider is dragged.

Usage: bench_recompute.py SITE_DIR PICTURE_1080P [CHANGES]
"""

import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lab_browser  # noqa: E402


def measure(page, changes, idle):
    timings = []
    for i in range(changes):
        if idle:
            page.wait('lab.sweepDone', 120)
        count = page.js('return lab.timings.length;')
        page.set_scale(2 + (i * 7) % 30)
        page.wait('lab.timings.length > %d && lab.result.change >= lab.change' % count, 120)
        timings.append(page.js('return lab.timings[lab.timings.length - 1];'))
    return {key: statistics.median(t[key] for t in timings) for key in ('totalMs', 'codeMs', 'viewsMs', 'drawMs')}


def main(site, picture, changes=9):
    changes = int(changes)
    print('lab recompute, %s, median of %d changes of the scale code (load average %.1f on %d cores)' % (
        os.path.basename(picture), changes, os.getloadavg()[0], os.cpu_count()))
    print('%-14s %-22s %9s %9s %9s %9s' % ('core', 'page', 'total', 'coding', 'views', 'drawing'))
    with lab_browser.serve(site) as url, lab_browser.browser() as page:
        for simd in ('1', '0'):
            page.open(url + '?simd=' + simd)
            page.load_picture(picture)
            page.wait('lab.result && lab.result.width === 1920 && lab.result.height === 1080', 120)
            measure(page, 2, True)  # warm-up
            core = page.js('return lab.core;')
            for idle in (True, False):
                m = measure(page, changes, idle)
                print('%-14s %-22s %6.1f ms %6.1f ms %6.1f ms %6.1f ms' % (
                    core, 'idle' if idle else 'while sweep runs', m['totalMs'], m['codeMs'], m['viewsMs'],
                    m['drawMs']))
    return 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]))
