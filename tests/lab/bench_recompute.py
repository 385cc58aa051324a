"""Recompute time of a 1920x1080 picture in the lab page, headless chromium:
from a change of the scale code to the new frame drawn, for each core. The
two cores run in two windows and take turns, so that load from elsewhere on
the machine falls on both alike; the page is idle (its background sweep
done) before each change. Prints the median and the best of the changes,
with the perceptual score's measure and map, which the worker runs after
posting the frame.

Usage: bench_recompute.py SITE_DIR PICTURE_1080P [CHANGES]
"""

import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lab_browser  # noqa: E402

KEYS = ('totalMs', 'codeMs', 'ssimMs', 'viewsMs', 'drawMs', 'ssimulacra2Ms')


def change_once(page, code):
    page.wait('lab.sweepDone', 120)
    count = page.js('return lab.timings.length;')
    page.set_scale(code)
    page.wait('lab.timings.length > %d && lab.result.change >= lab.change' % count, 120)
    timing = page.js('return lab.timings[lab.timings.length - 1];')
    page.wait('lab.ssimulacra2 && lab.ssimulacra2.change >= lab.change', 300)
    timing['ssimulacra2Ms'] = page.js('return lab.ssimulacra2Timings[lab.ssimulacra2Timings.length - 1].ms;')
    return timing


def main(site, picture, changes=9):
    changes = int(changes)
    windows = {}
    with lab_browser.serve(site) as url, lab_browser.browser() as page:
        driver = page.driver
        for simd in ('1', '0'):
            if windows:
                driver.switch_to.new_window('window')
            page.open(url + '?simd=' + simd)
            page.load_picture(picture)
            page.wait('lab.result && lab.result.width === 1920 && lab.result.height === 1080', 120)
            # The perceptual measure's map on the right: it is measured while shown.
            page.js("const v = document.getElementById('right-view'); v.value = '5';"
                    "v.dispatchEvent(new Event('change'));")
            change_once(page, 2)  # warm-up
            windows[page.js('return lab.core;')] = driver.current_window_handle
        timings = {core: [] for core in windows}
        for i in range(changes):
            for core, handle in windows.items():
                driver.switch_to.window(handle)
                timings[core].append(change_once(page, 3 + (i * 7) % 29))
    print('lab recompute of a 1920x1080 picture after a change of the scale code, %d changes per core '
          '(load average %.1f on %d cores)' % (changes, os.getloadavg()[0], os.cpu_count()))
    print('%-14s %-7s %9s %9s %9s %9s %9s %9s' % ('core', '', 'total', 'coding', 'SSIM', 'views', 'drawing',
                                                  'SSIMULACRA2'))
    for core, runs in timings.items():
        for name, pick in (('median', statistics.median), ('best', min)):
            figures = [pick(t[key] for t in runs) for key in KEYS]
            print('%-14s %-7s' % (core, name) + ''.join('%6.1f ms ' % f for f in figures))
    return 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]))
