"""docs/lab-ssimulacra2.png: a photo at scale code 12 with the flat matrix,
the reconstruction against the perceptual measure's error map in the split
view, and the frame's figures with the score.

Usage: take_ssimulacra2_screenshot.py SITE_DIR PICTURE OUTPUT_PNG
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lab_browser  # noqa: E402

WIDTH, HEIGHT = 1280, 900


def main(site, picture, output):
    with lab_browser.serve(site) as url, lab_browser.browser(WIDTH, HEIGHT) as page:
        page.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                    {'width': WIDTH, 'height': HEIGHT, 'deviceScaleFactor': 1, 'mobile': False})
        page.open(url)
        page.load_picture(picture)
        page.wait('lab.result && lab.result.pictureName === %r' % os.path.basename(picture), 120)
        page.set_scale(12)
        page.js("const p = document.getElementById('preset'); p.value = 'flat16';"
                "p.dispatchEvent(new Event('change'));")
        for side, view in (('left', 1), ('right', 5)):
            page.js("const v = document.getElementById(arguments[0] + '-view'); v.value = arguments[1];"
                    "v.dispatchEvent(new Event('change'));", side, str(view))
        page.settled(120)
        page.wait('lab.ssimulacra2 && lab.ssimulacra2.change >= lab.change', 300)
        page.wait('lab.sweepDone', 300)
        page.driver.save_screenshot(output)
        print('score %.2f, measured in %.0f ms' % (page.js('return lab.ssimulacra2.score;'),
                                                   page.js('return lab.ssimulacra2Timings.at(-1).ms;')))
    print('screenshot: ' + output)
    return 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:4]))
