"""The matrix lab in headless chromium against the command line: a photo
loaded through the page gives the command line's bytes, PSNR, SSIM and
reconstruction (every YC sample), through setting changes, matrix edits
with clamping, and steps back and forward through the history. Matrix files
exported from the page are the command line's files and read back as the
matrix they came from. The encoder modelled is kept in the address and
named with the figures. Bad input leaves the page as it was, with a
message.

Usage: test_lab_page.py SITE_DIR VARDELK_CLI SOURCE_PHOTO
"""

import base64
import json
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lab_browser  # noqa: E402

DEFAULT_MATRIX_TEXT = 'default'  # the command line's names of its built-in matrices


def write_png(path, width, height, pixel):
    """A plain 8-bit RGB PNG of one colour."""
    row = b'\x00' + bytes(pixel) * width
    body = zlib.compress(row * height)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
                chunk(b'IDAT', body) + chunk(b'IEND', b''))


class LabCheck:
    def __init__(self, page, cli, scratch):
        self.page, self.cli, self.scratch = page, cli, scratch
        self.failures = []

    def expect(self, condition, what):
        if not condition:
            self.failures.append(what)
            print('FAIL: ' + what)

    # What the page shows, and what the command line makes of the same input.
    def page_frame(self):
        result = self.page.settled()
        dump = self.page.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            lab.dump().then((d) => {
                const bytes = new Uint8Array(d.yc);
                let text = '';
                for (let i = 0; i < bytes.length; i += 0x8000) {
                    text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
                }
                done({bytes: d.bytes, yc: btoa(text)});
            });""")
        return result, dump['bytes'], base64.b64decode(dump['yc'])

    def cli_frame(self, picture, scale, flags, matrix):
        if isinstance(matrix, list):
            path = os.path.join(self.scratch, 'matrix.txt')
            with open(path, 'w') as f:
                f.write('\n'.join(' '.join(str(v) for v in matrix[r * 8:r * 8 + 8]) for r in range(8)) + '\n')
            matrix = path
        rec = os.path.join(self.scratch, 'rec.yc')
        stats = os.path.join(self.scratch, 'stats.json')
        subprocess.run([self.cli, '-q', '-i', picture, '-s', str(scale), '-m', matrix, '-o', rec,
                        '--ssim', '--stats', stats] + flags, check=True)
        with open(rec, 'rb') as f, open(stats) as s:
            return json.load(s)['frames'][0], f.read()

    def compare_with_cli(self, what, picture, scale, flags, matrix):
        result, bytes_, yc = self.page_frame()
        frame, cli_yc = self.cli_frame(picture, scale, flags, matrix)
        self.expect(bytes_ == frame['bytes'] and result['bytes'] == frame['bytes'],
                    '%s: page %d bytes, command line %d' % (what, result['bytes'], frame['bytes']))
        psnr = [frame['psnr_y'], frame['psnr_cb'], frame['psnr_cr']]
        self.expect(all(abs(a - b) < 1e-4 for a, b in zip(result['psnr'], psnr)),
                    '%s: PSNR page %s, command line %s' % (what, result['psnr'], psnr))
        # The command line prints six decimals.
        ssim = [frame['ssim_y'], frame['ssim_cb'], frame['ssim_cr'], frame['ssim_all']]
        self.expect(all(abs(a - b) < 1e-6 for a, b in zip(result['ssim'], ssim)),
                    '%s: SSIM page %s, command line %s' % (what, result['ssim'], ssim))
        differing = sum(1 for i in range(0, min(len(yc), len(cli_yc)), 2) if yc[i:i + 2] != cli_yc[i:i + 2])
        self.expect(len(yc) == len(cli_yc) and differing == 0,
                    '%s: reconstruction differs in %d of %d samples' % (what, differing, len(cli_yc) // 2))
        return result

    def matrix_state(self, change):
        self.page.wait('lab.matrix && lab.matrix.change >= %d' % change)
        return self.page.js('return lab.matrix;')

    def apply(self, edits):
        """Types texts into boxes (index -> text) and presses Apply; returns the
        worker's matrix state and the texts the boxes show afterwards."""
        for index, text in edits.items():
            self.page.js("""const box = document.querySelectorAll('#matrix-grid input')[arguments[0]];
                            box.value = arguments[1]; box.dispatchEvent(new Event('input'));""", index, text)
        self.page.element('apply').click()
        state = self.matrix_state(self.page.js('return lab.change;'))
        return state, self.box_texts()

    def step(self, button):
        self.page.element(button).click()
        return self.matrix_state(self.page.js('return lab.change;'))

    def import_matrix(self, path, form=''):
        """Reads a matrix file through the page's import; returns the matrix
        state that follows and the message shown."""
        self.page.js("document.getElementById('import-form').value = arguments[0];", form)
        self.page.element('matrix-file').send_keys(os.path.abspath(path))
        state = self.matrix_state(self.page.js('return lab.change;'))
        return state, self.page.element('message').text

    def export_matrix(self, form):
        """Exports through the page; returns the message shown and the bytes
        of the file downloaded (None when there is none)."""
        name = 'matrix.txt' if form == 'plain' else 'matrix-%s.txt' % form
        path = os.path.join(self.scratch, 'downloads', name)
        if os.path.exists(path):
            os.remove(path)
        errors = self.page.js('return lab.errors.length;')
        self.page.js("const e = document.getElementById('export-form'); e.value = arguments[0];"
                     "e.dispatchEvent(new Event('change'));", form)
        self.page.wait('(lab.exported && lab.exported.name === %r) || lab.errors.length > %d' % (name, errors))
        if self.page.js('return lab.errors.length;') > errors:
            return self.page.element('message').text, None
        self.page.js('lab.exported = null;')
        for _ in range(200):
            if os.path.exists(path):
                with open(path, 'rb') as f:
                    return self.page.element('message').text, f.read()
            time.sleep(0.05)
        return 'no download', None

    def cli_matrix_file(self, matrix, form):
        source = os.path.join(self.scratch, 'source-matrix.txt')
        with open(source, 'w') as f:
            f.write(' '.join(str(v) for v in matrix) + '\n')
        out = os.path.join(self.scratch, 'cli-matrix.txt')
        subprocess.run([self.cli, '-q', '-m', source, '--write-matrix', out, '--matrix-format', form], check=True)
        with open(out, 'rb') as f:
            return f.read()

    def choose_model(self, encoder=None, intra_vlc=None, dc=None):
        """Picks the encoder, then the AC table and DC precision, as a user
        would; returns the model taken, the address's query and the frame."""
        for element_id, value in (('encoder', encoder), ('intra-vlc', intra_vlc), ('dc-precision', dc)):
            if value is not None:
                self.page.js("const e = document.getElementById(arguments[0]); e.value = arguments[1];"
                             "e.dispatchEvent(new Event('change'));", element_id, str(value))
        result = self.page.settled()
        return self.page.js('return lab.model;'), self.page.js('return location.search;'), result

    def model_shown(self):
        """The model the page's controls and figures show."""
        return self.page.js("return ['encoder', 'intra-vlc', 'dc-precision', 'model']"
                            ".map((id) => document.getElementById(id).value);")

    def box_texts(self):
        return self.page.js("return [...document.querySelectorAll('#matrix-grid input')].map((b) => b.value);")


def run(site, cli, photo):
    scratch = tempfile.mkdtemp(prefix='vardelk-lab-test-')
    # A photo with a width and height that leave partial macroblocks.
    picture = os.path.join(scratch, 'photo.png')
    subprocess.run(['convert', photo, '+repage', '-crop', '333x250+80+120', '+repage', '-strip', 'PNG24:' + picture],
                   check=True)
    not_picture = os.path.join(scratch, 'notes.png')
    with open(not_picture, 'w') as f:
        f.write('not a picture\n')
    oversized = os.path.join(scratch, 'wide.png')
    write_png(oversized, 4097, 8, (200, 10, 10))

    with lab_browser.serve(site) as url, lab_browser.browser() as page:
        check = LabCheck(page, cli, scratch)
        page.open(url)
        start = check.matrix_state(0)
        check.expect(start['position'] == 1 and start['count'] == 1, 'start: history %s' % start)
        default = start['matrix']

        # A picture, then the scale and every setting that changes the frame.
        page.load_picture(picture)
        page.wait("lab.result && lab.result.width === 333 && lab.result.height === 250")
        check.compare_with_cli('photo, the opening scale code 8', picture, 8, [], DEFAULT_MATRIX_TEXT)
        page.set_scale(9)
        page.set_flag('non-linear', True)
        page.set_flag('interlaced', True)
        check.compare_with_cli('scale 9, non-linear, interlaced', picture, 9, ['--nonlinear', '--interlaced'],
                               DEFAULT_MATRIX_TEXT)
        page.set_flag('alternate-scan', True)
        flags = ['--nonlinear', '--interlaced', '--alternate-scan']
        check.compare_with_cli('alternate scan', picture, 9, flags, DEFAULT_MATRIX_TEXT)

        # Editing: out-of-range and empty boxes are clamped and corrected,
        # a value in range keeps its text as typed.
        state, texts = check.apply({1: '5000', 2: '0', 3: '', 4: '08', 63: '7'})
        edited = default[:]
        edited[1:5] = [4095, 1, 1, 8]
        edited[63] = 7
        check.expect(state['matrix'] == edited, 'apply: matrix %s' % state['matrix'])
        check.expect(texts[1:5] == ['4095', '1', '1', '08'] and texts[63] == '7', 'apply: boxes show %s' % texts[:8])
        check.expect((state['position'], state['count']) == (2, 2), 'apply: history %s' % state)
        check.expect(not page.element('back').get_attribute('disabled') and
                     page.element('forward').get_attribute('disabled'), 'apply: back/forward buttons')
        after_edit = check.compare_with_cli('edited matrix', picture, 9, flags, edited)

        # Applying the same matrix again records nothing.
        state, _ = check.apply({})
        check.expect(state['count'] == 2 and not state['changed'], 'apply without change: %s' % state)

        # Back to the default, forward to the edit.
        state = check.step('back')
        check.expect(state['matrix'] == default and state['position'] == 1, 'back: %s' % state)
        check.expect(check.box_texts() == [str(v) for v in default], 'back: boxes show the default matrix')
        check.compare_with_cli('back to the default', picture, 9, flags, DEFAULT_MATRIX_TEXT)
        state = check.step('forward')
        check.expect(state['matrix'] == edited and state['position'] == 2, 'forward: %s' % state)
        check.expect(page.settled()['bytes'] == after_edit['bytes'], 'forward: bytes of the edited matrix')

        # A change applied after stepping back goes right after the current
        # snapshot: default, flat16, edited.
        check.step('back')
        page.js("const p = document.getElementById('preset'); p.value = 'flat16';"
                "p.dispatchEvent(new Event('change'));")
        state = check.matrix_state(page.js('return lab.change;'))
        check.expect(state['matrix'] == [16] * 64 and (state['position'], state['count']) == (2, 3),
                     'flat16 after back: %s' % state)
        check.compare_with_cli('flat16', picture, 9, flags, 'flat16')
        state = check.step('forward')
        check.expect(state['matrix'] == edited and state['position'] == 3, 'forward after insert: %s' % state)

        # Typed but not applied: Cancel brings back the matrix in effect.
        for index in (0, 10, 20):
            page.js("document.querySelectorAll('#matrix-grid input')[arguments[0]].value = '99';", index)
        page.element('cancel').click()
        check.expect(check.box_texts() == [str(v) for v in edited], 'cancel: boxes show the matrix in effect')

        # Matrix files: the page's download is the command line's file; a
        # form that cannot hold an entry refuses with the entry named.
        page.driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                                    {'behavior': 'allow', 'downloadPath': os.path.join(scratch, 'downloads')})
        message, exported = check.export_matrix('plain')
        check.expect(exported == check.cli_matrix_file(edited, 'plain'), 'export plain: %r' % exported)
        message, refused = check.export_matrix('ffmpeg')
        check.expect(refused is None and 'entry 2 (row 1, column 2) is 4095' in message,
                     'export ffmpeg of 4095: "%s"' % message)
        # Read back after stepping away, it is applied like Apply: recorded
        # right after the snapshot shown.
        check.step('back')
        state, message = check.import_matrix(os.path.join(scratch, 'downloads', 'matrix.txt'))
        check.expect(state['matrix'] == edited and (state['position'], state['count']) == (3, 4),
                     'import of the export: %s' % state)
        check.expect('read as plain' in message, 'import of the export: "%s"' % message)
        check.compare_with_cli('imported matrix', picture, 9, flags, edited)
        # A recognised form, then files refused with the typing and the
        # history kept.
        check.step('back')
        message, x264 = check.export_matrix('x264')
        check.expect(x264 == check.cli_matrix_file([16] * 64, 'x264'), 'export x264: %r' % x264)
        x264_path = os.path.join(scratch, 'downloads', 'matrix-x264.txt')
        with open(x264_path, 'w') as f:
            f.write(x264.decode().replace('16,16,16,16', '16,16,16,17', 1))
        state, message = check.import_matrix(x264_path)
        check.expect(state['matrix'] == [16] * 3 + [17] + [16] * 60 and 'read as x264' in message,
                     'import x264: %s "%s"' % (state['matrix'][:8], message))
        before = check.matrix_state(0)
        page.js("document.querySelectorAll('#matrix-grid input')[5].value = '77';")
        for path, form, words in ((not_picture, '', "matrix file notes.png: holds 3 numbers"),
                                  (os.path.join(scratch, 'downloads', 'matrix.txt'), 'ffmpeg',
                                   'ffmpeg matrix file matrix.txt: ')):
            state, message = check.import_matrix(path, form)
            check.expect(words in message, 'refused %s: "%s"' % (os.path.basename(path), message))
            check.expect((state['matrix'], state['position'], state['count']) ==
                         (before['matrix'], before['position'], before['count']) and check.box_texts()[5] == '77',
                         'refused %s: state %s' % (os.path.basename(path), state))
        page.element('cancel').click()
        check.step('forward')

        # The SSIM map as a view.
        page.js("const v = document.getElementById('right-view'); v.value = '4';"
                "v.dispatchEvent(new Event('change'));")
        shown = page.settled()
        check.expect(0 < shown['ssimWorst'] <= shown['ssim'][0] and
                     not page.element('ssim-legend').get_attribute('hidden'),
                     'SSIM view: worst %s' % shown['ssimWorst'])

        # The perceptual score and its map follow the frame's figures.
        page.js("const v = document.getElementById('right-view'); v.value = '5';"
                "v.dispatchEvent(new Event('change'));")
        page.wait('lab.ssimulacra2 && lab.ssimulacra2.change >= lab.change', 120)
        score = page.js('return lab.ssimulacra2.score;')
        check.expect(0 < score < 100 and page.element('ssimulacra2').text == '%.2f' % score and
                     not page.element('ssimulacra2-legend').get_attribute('hidden'),
                     'SSIMULACRA 2: score %s, shown "%s"' % (score, page.element('ssimulacra2').text))
        page.js("const v = document.getElementById('right-view'); v.value = '4';"
                "v.dispatchEvent(new Event('change'));")

        # Bad input: a message, and the picture, settings and figures stay.
        before = page.settled()
        for path, words in ((not_picture, 'not a picture'), (oversized, '4097x8 exceeds')):
            errors = page.load_picture(path)
            page.wait('lab.errors.length > %d' % errors)
            message = page.element('message').text
            check.expect(words in message and not page.element('message').get_attribute('hidden'),
                         '%s: message "%s"' % (os.path.basename(path), message))
            page.set_scale(9)  # a change after the refusal still codes the old picture
            after = page.settled()
            check.expect((after['width'], after['height'], after['bytes']) ==
                         (before['width'], before['height'], before['bytes']),
                         '%s: state after refusal %s' % (os.path.basename(path), after))
        check.compare_with_cli('after refused files', picture, 9, flags, edited)

        # Coding models: an encoder brings its own AC table and DC precision,
        # either can then be changed; the address keeps what differs from
        # the filter's. A real encoder's frame is flagged, the matrix kept,
        # while an AC entry exceeds what its stream carries.
        # lab.sweepDone stays true from the last sweep until the next one's
        # first point arrives, after the frame: each wait names the model whose
        # curves it waits for.
        filter_frame = page.settled()
        page.wait("lab.sweepDone && lab.curves.model === 'filter'", 120)
        filter_curve = page.js('return lab.curves.default;')
        model, query, result = check.choose_model(encoder='ffmpeg')
        check.expect((model['intraVlc'], model['dc'], query, result['model']) == (0, 8, '?encoder=ffmpeg', 'ffmpeg'),
                     'ffmpeg: %s %s' % (model, query))
        check.expect(result['bytes'] != filter_frame['bytes'], 'ffmpeg codes as the filter: %d bytes' % result['bytes'])
        ffmpeg_frame = result
        # The default matrix's curve is the model's own, not the filter's
        # kept from before.
        page.wait("lab.sweepDone && lab.curves.model === 'ffmpeg'", 120)
        curves = page.js('return lab.curves;')
        check.expect(curves['model'] == 'ffmpeg' and curves['default'] != filter_curve,
                     'ffmpeg curves: %s, default %s' % (curves['model'], curves['default'][:2]))
        note = page.element('model-note')
        check.expect(note.is_displayed() and 'entry 2 (row 1, column 2) of the matrix in effect is 4095' in note.text,
                     'ffmpeg with 4095: note "%s"' % note.text)
        check.expect(check.matrix_state(0)['matrix'] == edited, 'ffmpeg with 4095: the matrix stays')
        model, query, result = check.choose_model(dc=10)
        check.expect((query, result['model'], check.model_shown()) ==
                     ('?encoder=ffmpeg&dc=10', 'ffmpeg (dc 10)', ['ffmpeg', '0', '10', 'ffmpeg (dc 10)']) and
                     result['bytes'] != ffmpeg_frame['bytes'],
                     'ffmpeg at dc 10: %s %s, %d bytes' % (query, check.model_shown(), result['bytes']))
        model, query, result = check.choose_model(encoder='tm5')
        check.expect((model['intraVlc'], model['dc'], query) == (1, 8, '?encoder=tm5'),
                     'tm5 takes its own defaults: %s %s' % (model, query))
        model, query, result = check.choose_model(encoder='filter')
        check.expect(query == '' and not note.is_displayed() and result['bytes'] == filter_frame['bytes'],
                     'back to filter: %s, %d bytes' % (query, result['bytes']))
        # With a matrix a stream carries, the page codes as the command line.
        page.js("const p = document.getElementById('preset'); p.value = 'flat16';"
                "p.dispatchEvent(new Event('change'));")
        check.matrix_state(page.js('return lab.change;'))
        model, query, result = check.choose_model(encoder='ffmpeg')
        check.expect(not note.is_displayed(), 'ffmpeg with flat16: note "%s"' % note.text)
        check.compare_with_cli('ffmpeg model', picture, 9, flags + ['--encoder', 'ffmpeg'], 'flat16')
        model, query, result = check.choose_model(intra_vlc=1, dc=9)
        check.expect(result['model'] == 'ffmpeg (intra_vlc 1, dc 9)', 'ffmpeg overridden: %s' % result['model'])
        # A reload codes with the model of the address; a bad one falls
        # back on the filter's, with a message.
        page.driver.refresh()
        page.wait('lab.ready && lab.result !== null')
        check.expect(check.model_shown() == ['ffmpeg', '1', '9', 'ffmpeg (intra_vlc 1, dc 9)'],
                     'reload: %s' % check.model_shown())
        page.open(url + '?encoder=x264&dc=7&simd=1')
        check.expect(check.model_shown()[:3] == ['filter', '1', '11'] and
                     page.js('return location.search;') == '?simd=1' and
                     'encoder "x264"' in page.element('message').text and page.settled()['bytes'] > 0,
                     'bad address: %s "%s"' % (check.model_shown(), page.element('message').text))

        # The page runs the wasm SIMD core; the plain one gives the same frame.
        # That one runs with the canvases left in the page, drawn from the
        # pixels sent with each result.
        core = page.js('return lab.core;')
        check.expect(core == 'lab_core_simd', 'the page runs %s' % core)
        page.open(url + '?simd=0&offscreen=0')
        core = page.js('return lab.core;')
        check.expect(core == 'lab_core', 'plain core: loaded %s' % core)
        page.load_picture(picture)
        page.wait("lab.result && lab.result.width === 333")
        page.set_scale(9)
        page.set_flag('non-linear', True)
        page.set_flag('interlaced', True)
        check.compare_with_cli('plain core', picture, 9, ['--nonlinear', '--interlaced'], DEFAULT_MATRIX_TEXT)
        drawn = page.js("const c = document.getElementById('right-canvas');"
                        "return [c.width, c.height, ...c.getContext('2d').getImageData(166, 125, 1, 1).data];")
        check.expect(drawn[:2] == [333, 250] and drawn[5] == 255 and any(drawn[2:5]),
                     'views drawn in the page: %s' % drawn)
        check.choose_model(encoder='ffmpeg')
        check.compare_with_cli('plain core, ffmpeg model', picture, 9, ['--nonlinear', '--interlaced', '--encoder',
                                                                        'ffmpeg'], DEFAULT_MATRIX_TEXT)

        logs = [entry for entry in page.driver.get_log('browser')
                if entry['level'] == 'SEVERE' and 'favicon' not in entry['message']]
        check.expect(not logs, 'browser console errors: %s' % logs)

    if check.failures:
        print('lab page: %d checks failed' % len(check.failures))
        return 1
    subprocess.run(['rm', '-rf', scratch])
    print('lab page: all checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(run(*sys.argv[1:4]))
