// The lab page: controls, the matrix editor, the split view and the
// rate-distortion plot, all fed by the worker that owns the core.

import {MatrixEditor} from './matrix_editor.js';
import {SplitView} from './split_view.js';
import {DrawRdPlot} from './rd_plot.js';

const $ = (id) => document.getElementById(id);
const kViews = ['input', 'reconstruction', 'difference ×8', 'bits per macroblock', 'SSIM per macroblock',
                'SSIMULACRA 2 error'];
const kHeatMapView = 3;
const kSsimMapView = 4;
const kSsimulacra2View = 5;

// The state the tests and the benchmark read (window.lab).
const lab = {
    ready: false,
    core: '',
    change: 0,            // number of the last change sent to the worker
    result: null,         // the last frame drawn
    matrix: null,         // the last matrix state from the worker
    curves: {current: [], default: []},
    sweepDone: false,
    timings: [],          // change to frame drawn, per change
    ssimulacra2: null,    // the last perceptual score: {score, change}
    ssimulacra2Timings: [],  // each measure of it: {ms, width, height}
    errors: [],
    maxSide: 0,
    maxPixels: 0,
    forms: [],            // the matrix file forms
    exported: null,       // the last matrix file made for download: {name, form, text}
    imported: null,       // the last matrix file taken: {name, form, changed}
    encoders: [],         // the encoders modelled: {name, intraVlc, dc}
    model: null,          // the model in effect: {encoder, intraVlc, dc, description}
};
window.lab = lab;

const changeSent = new Map();  // change number -> time it was sent
let knownMatrices = [];  // the Preset menu's matrices: {name, display, purpose, source, matrix}

// Two builds of the core give the same frames: plain wasm, and one whose
// vector kernels run as wasm SIMD, about a quarter faster. The SIMD one is
// taken where the browser has it (a module with one v128 constant validates
// only then); ?simd=0 asks for the plain one.
const simdProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 22, 1,
    20, 0, 253, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11]);
const params = new URLSearchParams(location.search);
const wantSimd = params.get('simd') !== '0' && WebAssembly.validate(simdProbe);

const worker = new Worker('worker.js');
const editor = new MatrixEditor($('matrix-grid'));
const split = new SplitView({
    frame: $('stage-frame'), stage: $('stage'), left: $('left-canvas'), right: $('right-canvas'),
    handle: $('split-handle'), onHover: showHover,
});

function send(message) {
    lab.change++;
    changeSent.set(lab.change, performance.now());
    worker.postMessage(Object.assign({change: lab.change}, message));
}

function showMessage(text) {
    const box = $('message');
    box.textContent = text;
    box.hidden = !text;
}

function formatPsnr(value) { return Number.isFinite(value) ? value.toFixed(2) : '∞'; }
function formatSsim(value) { return Number.isNaN(value) ? '–' : value.toFixed(4); }

// The controls as they stand (a reloaded page may keep the last values).
function settingsShown() {
    $('scale-value').textContent = $('scale').value;
    return {
        scale: Number($('scale').value), nonLinear: $('non-linear').checked,
        alternateScan: $('alternate-scan').checked, interlaced: $('interlaced').checked,
    };
}

function sendSettings() {
    send(Object.assign({type: 'settings'}, settingsShown()));
}

// The encoder chosen brings its own AC table and DC precision; either can
// then be changed on its own.
function chooseEncoder() {
    const encoder = lab.encoders.find((e) => e.name === $('encoder').value);
    $('intra-vlc').value = String(encoder.intraVlc);
    $('dc-precision').value = String(encoder.dc);
    sendModel();
}

function sendModel() {
    if (!lab.encoders.length) return;  // the worker sets the address's model when ready
    send({type: 'model', encoder: $('encoder').value, intraVlc: $('intra-vlc').value, dc: $('dc-precision').value});
}

// The address keeps the model (what differs from the filter's defaults),
// so that a reload or a shared link codes with it again.
function writeAddress(model) {
    const query = new URLSearchParams(location.search);
    const encoder = lab.encoders.find((e) => e.name === model.encoder);
    const keep = (key, value, usual) => (value === usual ? query.delete(key) : query.set(key, String(value)));
    keep('encoder', model.encoder, lab.encoders[0].name);
    keep('intra_vlc', model.intraVlc, encoder.intraVlc);
    keep('dc', model.dc, encoder.dc);
    const search = query.toString();
    history.replaceState(null, '', search ? `?${search}` : location.pathname);
}

function showModel(m) {
    lab.model = m.model;
    $('encoder').value = m.model.encoder;
    $('intra-vlc').value = String(m.model.intraVlc);
    $('dc-precision').value = String(m.model.dc);
    writeAddress(m.model);
    if (m.refused.length) showMessage(`address: ${m.refused.join('; ')}; coding as ${m.model.description}`);
}

// The perceptual score, or the button that shows its view (it is measured
// only while the view is on show: it takes longer than the frame).
function showSsimulacra2(text) {
    $('ssimulacra2').textContent = text;
    $('ssimulacra2').hidden = !text;
    $('measure-ssimulacra2').hidden = Boolean(text);
}

function sendViews() {
    $('left-label').textContent = kViews[Number($('left-view').value)];
    $('right-label').textContent = kViews[Number($('right-view').value)];
    send({type: 'views', left: Number($('left-view').value), right: Number($('right-view').value)});
    const shown = [Number($('left-view').value), Number($('right-view').value)];
    $('legend').hidden = !shown.includes(kHeatMapView);
    $('ssim-legend').hidden = !shown.includes(kSsimMapView);
    $('ssimulacra2-legend').hidden = !shown.includes(kSsimulacra2View);
}

function showResult(m) {
    const drawStart = performance.now();
    for (const side of ['left', 'right']) {
        if (m.sides[side] && !split.transferred) split.draw(side, m.width, m.height, m.sides[side].pixels);
    }
    split.resize(m.width, m.height);
    const bits = new Int32Array(m.bits);
    let maxBits = 1;
    for (const b of bits) if (b > maxBits) maxBits = b;
    lab.result = Object.assign({}, m, {bits, sides: undefined, maxBits});
    $('bytes').textContent = String(m.bytes);
    $('model').textContent = m.model;
    $('model-note').textContent = m.modelNote;
    $('model-note').hidden = !m.modelNote;
    $('psnr-y').textContent = formatPsnr(m.psnr[0]);
    $('psnr-cb').textContent = formatPsnr(m.psnr[1]);
    $('psnr-cr').textContent = formatPsnr(m.psnr[2]);
    $('ssim-planes').textContent = m.ssim.slice(0, 3).map(formatSsim).join(' · ');
    $('ssim-all').textContent = `${formatSsim(m.ssim[3])} (${formatPsnr(m.ssimDb)} dB)`;
    // The perceptual score follows in a message of its own while its view is shown.
    const measured = [$('left-view').value, $('right-view').value].includes(String(kSsimulacra2View));
    if (m.change !== lab.ssimulacra2?.change) showSsimulacra2(measured ? '…' : '');
    if (!Number.isNaN(m.ssimWorst)) $('ssim-legend-worst').textContent = m.ssimWorst.toFixed(3);
    $('size').textContent = `${m.width}×${m.height}`;
    $('picture-name').textContent = m.pictureName;
    $('legend-max').textContent = String(lab.result.maxBits);
    const now = performance.now();
    const sent = changeSent.get(m.change);
    if (sent !== undefined) {
        const timing = {change: m.change, totalMs: now - sent, codeMs: m.timing.codeMs, ssimMs: m.timing.ssimMs,
                        viewsMs: m.timing.viewsMs, drawMs: now - drawStart, width: m.width, height: m.height};
        lab.timings.push(timing);
        const core = lab.core.endsWith('simd') ? 'wasm SIMD' : 'plain wasm';
        $('timing').textContent = `${timing.totalMs.toFixed(0)} ms · ${core}`;
        $('timing').title = `coding ${timing.codeMs.toFixed(1)} ms, SSIM ${timing.ssimMs.toFixed(1)} ms, ` +
            `views ${timing.viewsMs.toFixed(1)} ms, drawing ${timing.drawMs.toFixed(1)} ms`;
        for (const key of changeSent.keys()) if (key <= m.change) changeSent.delete(key);
    }
    drawPlot();
}

function drawPlot() {
    const shown = lab.result && {bytes: lab.result.bytes, psnrY: lab.result.psnr[0]};
    DrawRdPlot($('rd-plot'), lab.curves, shown);
}

function showHover(x, y) {
    const r = lab.result;
    if (!r || x < 0) {
        $('hover').textContent = '';
        return;
    }
    const column = x >> 4, row = y >> 4;
    $('hover').textContent = `x ${x}, y ${y} · macroblock ${column},${row}: ${r.bits[row * r.columns + column]} bits`;
}

function showMatrix(m) {
    lab.matrix = m;
    // Apply shows the clamped values; start, back, forward and an imported
    // file the snapshot; a refused file leaves the boxes as they are.
    if (m.source === 'apply') editor.applied(m.matrix, m.corrected);
    else if (m.source === 'show') editor.show(m.matrix);
    $('back').disabled = m.position <= 1;
    $('forward').disabled = m.position >= m.count;
    $('history').textContent = `${m.position} / ${m.count}`;
    const clamped = m.corrected.filter((c) => c).length;
    if (clamped) {
        showMessage(`${clamped} matrix ${clamped === 1 ? 'entry was' : 'entries were'} outside 1..4095 ` +
                    'or not a number and now show the value taken');
    }
}

worker.onmessage = (event) => {
    const m = event.data;
    switch (m.type) {
    case 'ready':
        lab.ready = true;
        lab.core = m.core;
        lab.maxSide = m.maxSide;
        lab.maxPixels = m.maxPixels;
        lab.forms = m.forms;
        for (const form of m.forms) {
            $('import-form').add(new Option(form, form));
            $('export-form').add(new Option(form, form));
        }
        lab.encoders = m.encoders;
        knownMatrices = m.knownMatrices;
        for (const known of knownMatrices) {
            // The menu shows the name and, where it differs, the short name it
            // was published under; the whole story is the tooltip.
            const published = known.display.split(' (')[0];
            const plain = (text) => text.toLowerCase().replace(/[^a-z0-9]/g, '');
            const label = plain(published) === plain(known.name) ? known.name : `${known.name}: ${published}`;
            const option = new Option(label, known.name);
            option.title = `${known.display}: ${known.purpose}; ${known.source}`;
            $('preset').add(option);
        }
        for (const encoder of m.encoders) $('encoder').add(new Option(encoder.name, encoder.name));
        sendViews();
        break;
    case 'model':
        showModel(m);
        break;
    case 'matrix':
        showMatrix(m);
        break;
    case 'result':
        // Every result is drawn: the worker sends a side's pixels only once.
        showResult(m);
        break;
    case 'ssimulacra2':
        // The perceptual score and its map arrive after the frame's figures.
        for (const side of ['left', 'right']) {
            if (m.sides[side] && !split.transferred) split.draw(side, m.width, m.height, m.sides[side].pixels);
        }
        showSsimulacra2(Number.isNaN(m.score) ? '–' : m.score.toFixed(2));
        $('ssimulacra2-legend-top').textContent = m.top.toPrecision(2);
        lab.ssimulacra2 = {score: m.score, change: m.change};
        lab.ssimulacra2Timings.push({ms: m.ms, width: m.width, height: m.height});
        break;
    case 'imported':
        lab.imported = {name: m.name, form: m.form, changed: m.changed};
        showMessage(`${m.name}: read as ${m.form}` + (m.changed ? '' : '; it holds the matrix in effect'));
        break;
    case 'exported':
        download(m);
        break;
    case 'sweep':
        lab.curves = m.curves;
        lab.sweepDone = m.done;
        drawPlot();
        break;
    case 'dump':
        dumpWaiters.shift()?.(m);
        break;
    case 'error':
        lab.errors.push(m.message);
        showMessage(m.message);
        break;
    }
};

// A worker that fails to start or stops leaves the page without a core: say so.
worker.onerror = (event) => {
    const text = `the lab's worker stopped (${event.message || 'no reason given'}); reload the page`;
    lab.errors.push(text);
    showMessage(text);
};

const dumpWaiters = [];

// For the tests: the reconstruction as the core holds it.
lab.dump = () => new Promise((resolve) => {
    dumpWaiters.push(resolve);
    worker.postMessage({type: 'dump'});
});

function loadFile(file) {
    if (!file) return;
    showMessage('');
    send({type: 'picture', file, name: file.name});
}

// A matrix file is read in the form chosen, or in the one its content shows.
function importMatrix(file) {
    if (!file) return;
    showMessage('');
    send({type: 'importMatrix', file, name: file.name, form: $('import-form').value});
}

// The worker's file becomes a download made in the page.
function download(m) {
    const text = new Uint8Array(m.text);
    lab.exported = {name: m.name, form: m.form, text: new TextDecoder().decode(text)};
    const url = URL.createObjectURL(new Blob([text], {type: 'text/plain'}));
    const link = document.createElement('a');
    link.href = url;
    link.download = m.name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// Controls.
for (const [i, name] of kViews.entries()) {
    $('left-view').add(new Option(name, String(i)));
    $('right-view').add(new Option(name, String(i)));
}
$('left-view').value = '0';
$('right-view').value = '1';
$('measure-ssimulacra2').addEventListener('click', () => {
    $('right-view').value = String(kSsimulacra2View);
    showSsimulacra2('…');
    sendViews();
});
$('left-view').addEventListener('change', sendViews);
$('right-view').addEventListener('change', sendViews);
$('zoom').addEventListener('change', () => split.setZoom($('zoom').value));
$('scale').addEventListener('input', sendSettings);
for (const id of ['non-linear', 'alternate-scan', 'interlaced']) $(id).addEventListener('change', sendSettings);
$('encoder').addEventListener('change', chooseEncoder);
$('intra-vlc').addEventListener('change', sendModel);
$('dc-precision').addEventListener('change', sendModel);
$('file').addEventListener('change', () => {
    loadFile($('file').files[0]);
    $('file').value = '';
});
$('scene').addEventListener('click', () => {
    showMessage('');
    send({type: 'scene'});
});
$('apply').addEventListener('click', () => {
    showMessage('');
    send({type: 'apply', texts: editor.texts()});
});
$('matrix-file').addEventListener('change', () => {
    importMatrix($('matrix-file').files[0]);
    $('matrix-file').value = '';
});
$('export-form').addEventListener('change', () => {
    const form = $('export-form').value;
    $('export-form').value = '';
    if (!form) return;
    showMessage('');
    send({type: 'exportMatrix', form, name: form === 'plain' ? 'matrix.txt' : `matrix-${form}.txt`});
});
$('cancel').addEventListener('click', () => editor.show(editor.matrix));
for (const [id, direction] of [['back', -1], ['forward', 1]]) {
    $(id).addEventListener('click', () => {
        showMessage('');
        send({type: 'step', direction});
    });
}
$('preset').addEventListener('change', () => {
    const preset = $('preset').value;
    $('preset').value = '';
    if (!preset) return;
    const known = knownMatrices.find((k) => k.name === preset);
    if (!known) return;
    editor.fill(known.matrix);
    $('apply').click();
});

// A file dropped on the matrix panel is a matrix file; anywhere else a
// picture, unless it is plainly text.
const hint = $('drop-hint');
window.addEventListener('dragover', (e) => {
    e.preventDefault();
    hint.hidden = false;
});
window.addEventListener('dragleave', (e) => {
    if (!e.relatedTarget) hint.hidden = true;
});
window.addEventListener('drop', (e) => {
    e.preventDefault();
    hint.hidden = true;
    const file = e.dataTransfer.files[0];
    if (!file) return;
    const onMatrix = $('matrix').contains(e.target);
    if (onMatrix || !file.type.startsWith('image/')) importMatrix(file);
    else loadFile(file);
});
window.addEventListener('resize', drawPlot);

// The model of the address; the worker falls back on the filter's for
// anything it cannot take.
// The first frame is coded at the settings the controls show.
worker.postMessage({type: 'init', simd: wantSimd, settings: settingsShown(),
                    model: {encoder: params.get('encoder'), intraVlc: params.get('intra_vlc'), dc: params.get('dc')}});
// The worker draws the views itself where the browser lets it have the
// canvases; ?offscreen=0 keeps them in the page (pixels sent with results).
if (params.get('offscreen') !== '0') split.transferTo(worker);
