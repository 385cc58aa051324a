// The lab's worker: owns the WebAssembly core, decodes pictures, codes the
// frame after every change and sweeps the rate-distortion curves in the
// background. The page never waits on it.
//
// Every message from the page is handled in order. Changes only mark the
// frame dirty; the coding runs once the queued messages are taken, so a
// slider dragged fast costs one frame, not one per step. The sweep codes a
// few macroblock rows per task, so a change never waits long behind it.
//
// A side of the split view gets new pixels only when it needs them: the
// input stays until the picture changes, the others until the frame is
// coded again. The worker draws them into the page's canvases itself, from
// the core's memory; where the page could not hand its canvases over, the
// pixels are copied out and sent, and the page draws every view it is sent.

'use strict';

const kSweepScaleCodes = [1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 20, 24, 28, 31];
const kSweepBandRows = 8;

let core = null;
let lab = 0;                 // the lab made in the core (LabCreate), passed first to every call
let coreName = '';
let frameDirty = false;
let viewsDirty = false;
let scheduled = false;
let lastChange = 0;          // the page's number of the last change taken
let shownViews = {left: 0, right: 1};
let sentViews = {left: '', right: ''};  // what each side of the page holds
let canvases = null;         // the page's canvases, when the worker draws
let pictureName = 'built-in scene';
let pictureId = 0;
let frameId = 0;             // counts the frames coded
const kInputView = 0;
// The perceptual measure's map: drawn by its own step after the frame.
const kSsimulacra2View = 5;

// The sweep in progress: points for the current and the default matrix.
let sweep = null;
let sweepGeneration = 0;
const defaultCurves = new Map();  // picture and flags -> the default matrix's points
let settings = {scale: 1, nonLinear: 0, alternateScan: 0, interlaced: 0};
let encoders = [];            // the encoders the core models: {name, intraVlc, dc}
let model = null;             // the model in effect: {encoder, intraVlc, dc, description}

function post(message, transfer) { self.postMessage(message, transfer || []); }

function heap32(pointer, count) { return new Int32Array(core.HEAP32.buffer, pointer, count).slice(); }

// The matrix in effect and the history's position. `source` tells the page
// what to do with its boxes: 'apply' (show the values taken where clamped),
// 'show' (show the matrix) or 'keep' (leave them: nothing changed).
function matrixState(source, changed, corrected) {
    return {
        type: 'matrix',
        source,
        change: lastChange,
        matrix: Array.from(heap32(core._LabMatrix(lab), 64)),
        corrected: corrected || new Array(64).fill(false),
        changed: !!changed,
        position: core._LabHistoryPosition(lab),
        count: core._LabHistoryCount(lab),
    };
}

function markDirty() {
    frameDirty = true;
    sweep = null;
    sweepGeneration++;
    schedule();
}

function schedule() {
    if (!scheduled) {
        scheduled = true;
        setTimeout(runPending, 0);
    }
}

function runPending() {
    scheduled = false;
    if (frameDirty) {
        frameDirty = viewsDirty = false;
        sendFrame(true);
        startSweep();
        schedule();
        return;
    }
    if (viewsDirty) {
        viewsDirty = false;
        sendFrame(false);
        if (sweep) schedule();
        return;
    }
    if (sweep && sweepStep()) schedule();
}

function viewKey(view) { return view === kInputView ? `p${pictureId}/${view}` : `f${frameId}/${view}`; }

// Posts the frame's figures and the views a side of the page lacks, coding
// the frame first when something changed since.
function sendFrame(code) {
    const t0 = performance.now();
    if (code) {
        core._LabCode(lab);
        frameId++;
    }
    const t1 = performance.now();
    if (code) core._LabMeasureSsim(lab);
    const t2 = performance.now();
    const width = core._LabWidth(lab), height = core._LabHeight(lab);
    const sides = {};
    const transfer = [];
    const copies = new Map();  // one copy for a view shown on both sides
    for (const side of ['left', 'right']) {
        const view = shownViews[side], key = viewKey(view);
        if (view === kSsimulacra2View) continue;
        if (sentViews[side] === key) continue;
        sentViews[side] = key;
        if (canvases) {
            const canvas = canvases[side];
            if (canvas.width !== width || canvas.height !== height) {
                canvas.width = width;
                canvas.height = height;
            }
            // The view first: drawing it may grow the core's memory, which
            // replaces the buffer.
            const pointer = core._LabView(lab, view);
            const pixels = new Uint8ClampedArray(core.HEAPU8.buffer, pointer, width * height * 4);
            canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
            continue;
        }
        if (!copies.has(view)) {
            const pointer = core._LabView(lab, view);
            const copy = core.HEAPU8.slice(pointer, pointer + width * height * 4);
            copies.set(view, copy.buffer);
            transfer.push(copy.buffer);
        }
        sides[side] = {view, pixels: copies.get(view)};
    }
    const columns = core._LabMacroblockColumns(lab), rows = core._LabMacroblockRows(lab);
    const bits = heap32(core._LabMacroblockBits(lab), columns * rows);
    const t3 = performance.now();
    post({
        type: 'result', change: lastChange, pictureId, pictureName, width, height, bytes: core._LabBytes(lab),
        psnr: [core._LabPsnr(lab, 0), core._LabPsnr(lab, 1), core._LabPsnr(lab, 2)],
        ssim: [core._LabSsim(lab, 0), core._LabSsim(lab, 1), core._LabSsim(lab, 2), core._LabSsim(lab, 3)],
        ssimDb: core._LabSsimDb(lab), ssimWorst: core._LabSsimMapWorst(lab),
        columns, rows, bits: bits.buffer, sides,
        timing: {codeMs: t1 - t0, ssimMs: t2 - t1, viewsMs: t3 - t2},
        settings: Object.assign({}, settings), model: model.description,
        modelNote: coreString(core._LabModelNote(lab)),
    }, transfer.concat([bits.buffer]));
    sendSsimulacra2();
}

// Measures the perceptual score of the frame once, after its figures are
// posted, and posts it with the map to the sides that show the map. Only
// while the map is on show: the measure takes longer than the frame.
let ssimulacra2Frame = -1;
let ssimulacra2Ms = 0;
function sendSsimulacra2() {
    if (shownViews.left !== kSsimulacra2View && shownViews.right !== kSsimulacra2View) return;
    if (ssimulacra2Frame !== frameId) {
        const t0 = performance.now();
        core._LabMeasureSsimulacra2(lab, pictureId);
        ssimulacra2Ms = performance.now() - t0;
        ssimulacra2Frame = frameId;
    }
    const width = core._LabWidth(lab), height = core._LabHeight(lab);
    const sides = {};
    const transfer = [];
    let copy = null;
    for (const side of ['left', 'right']) {
        const key = `s${frameId}`;
        if (shownViews[side] !== kSsimulacra2View || sentViews[side] === key) continue;
        sentViews[side] = key;
        const pointer = core._LabSsimulacra2Map(lab);
        if (canvases) {
            const canvas = canvases[side];
            if (canvas.width !== width || canvas.height !== height) {
                canvas.width = width;
                canvas.height = height;
            }
            const pixels = new Uint8ClampedArray(core.HEAPU8.buffer, pointer, width * height * 4);
            canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
            continue;
        }
        if (!copy) {
            copy = core.HEAPU8.slice(pointer, pointer + width * height * 4).buffer;
            transfer.push(copy);
        }
        sides[side] = {view: kSsimulacra2View, pixels: copy};
    }
    post({
        type: 'ssimulacra2', change: lastChange, width, height, score: core._LabSsimulacra2(lab),
        top: core._LabSsimulacra2MapTop(lab), ms: ssimulacra2Ms, sides,
    }, transfer);
}

// What the default matrix's curve depends on: the picture, the flags and
// the model.
function flagsKey() {
    return `${pictureId}/${settings.nonLinear}/${settings.alternateScan}/${settings.interlaced}/` +
        `${model.encoder}/${model.intraVlc}/${model.dc}`;
}

function startSweep() {
    const cached = defaultCurves.get(flagsKey());
    sweep = {
        generation: sweepGeneration,
        curves: {current: [], default: cached ? cached.slice() : [], model: model.description},
        queue: [],
        row: 0,
    };
    for (const code of kSweepScaleCodes) sweep.queue.push({code, useDefault: 0});
    if (!cached) for (const code of kSweepScaleCodes) sweep.queue.push({code, useDefault: 1});
}

// Codes one band of the sweep's next point; false when the sweep is over.
function sweepStep() {
    if (sweep.queue.length === 0) return false;
    const point = sweep.queue[0];
    if (sweep.row === 0) core._LabSweepBegin(lab);
    sweep.row = core._LabSweepBand(lab, point.code, point.useDefault, sweep.row, kSweepBandRows);
    if (sweep.row !== 0) return true;
    sweep.queue.shift();
    const curve = point.useDefault ? sweep.curves.default : sweep.curves.current;
    curve.push({code: point.code, bytes: core._LabSweepBytes(lab), psnrY: core._LabSweepPsnrY(lab)});
    const done = sweep.queue.length === 0;
    if (done) defaultCurves.set(flagsKey(), sweep.curves.default.slice());
    post({type: 'sweep', change: lastChange, curves: sweep.curves, done});
    if (done) sweep = null;
    return !done;
}

// Decodes a picture file with the browser's decoders, as stored (no colour
// management), and takes it if it fits the cap. Anything else leaves the
// current picture as it was and reports why.
async function takePicture(file, name) {
    let bitmap;
    try {
        bitmap = await createImageBitmap(file, {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
    } catch (e) {
        post({type: 'error', message: `${name}: not a picture this browser can decode (PNG or JPEG expected)`});
        return;
    }
    const maxSide = core._LabMaxSide(lab), maxPixels = core._LabMaxPixels(lab);
    const {width, height} = bitmap;
    if (width > maxSide || height > maxSide || width * height > maxPixels) {
        bitmap.close();
        post({
            type: 'error',
            message: `${name}: ${width}x${height} exceeds the limit of ${maxSide} pixels a side and ` +
                `${(maxPixels / 1e6).toFixed(1)} megapixels; the previous picture stays`,
        });
        return;
    }
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d', {willReadFrequently: true});
    context.drawImage(bitmap, 0, 0);
    bitmap.close();
    const rgba = context.getImageData(0, 0, width, height).data;
    const pointer = core._LabStage(lab, width, height);
    if (!pointer) {
        post({type: 'error',
              message: `${name}: no memory for a ${width}x${height} picture; the previous picture stays`});
        return;
    }
    core.HEAPU8.set(rgba, pointer);
    core._LabTakeStaged(lab);
    pictureName = name;
    pictureId++;
    markDirty();
}

// A NUL-terminated UTF-8 string of the core's memory.
function coreString(pointer) {
    const heap = core.HEAPU8;
    let end = pointer;
    while (heap[end] !== 0) end++;
    return new TextDecoder().decode(heap.subarray(pointer, end));
}

function writeSlot(slot, bytes) {
    const pointer = core._LabSlot(lab, slot, bytes.length);
    core.HEAPU8.set(bytes, pointer);
}

// Reads a matrix file (at most one byte more than the core takes, so that a
// huge file is refused without reading it all) and applies its matrix.
async function importMatrix(file, name, form) {
    const limit = core._LabMaxMatrixFileBytes(lab);
    let bytes;
    try {
        bytes = new Uint8Array(await file.slice(0, limit + 1).arrayBuffer());
    } catch (e) {
        post(matrixState('keep', false));
        post({type: 'error', message: `matrix file ${name}: cannot be read`});
        return;
    }
    const encoder = new TextEncoder();
    writeSlot(0, bytes);
    writeSlot(1, encoder.encode(name));
    writeSlot(2, encoder.encode(form));
    const outcome = core._LabImportMatrix(lab);
    if (outcome < 0) {
        post(matrixState('keep', false));
        post({type: 'error', message: coreString(core._LabMessage(lab))});
        return;
    }
    const readAs = coreString(core._LabMatrixForm(lab));
    post(matrixState('show', outcome === 1));
    post({type: 'imported', name, form: readAs, changed: outcome === 1});
    if (outcome === 1) markDirty();
}

// The matrix in effect as a file of the form; the page makes the download.
function exportMatrix(name, form) {
    const encoder = new TextEncoder();
    writeSlot(1, encoder.encode(name));
    writeSlot(2, encoder.encode(form));
    if (!core._LabExportMatrix(lab)) {
        post({type: 'error', message: coreString(core._LabMessage(lab))});
        return;
    }
    const pointer = core._LabText(lab);
    const text = core.HEAPU8.slice(pointer, pointer + core._LabTextLength(lab));
    post({type: 'exported', name, form, text: text.buffer}, [text.buffer]);
}

function matrixForms() {
    const forms = [];
    for (let i = 0; i < core._LabMatrixFormCount(lab); i++) forms.push(coreString(core._LabMatrixFormName(lab, i)));
    return forms;
}

// The matrices known by name: {name, display, purpose, source, matrix}.
function knownMatrices() {
    const list = [];
    for (let i = 0; i < core._LabKnownMatrixCount(lab); i++) {
        const text = (field) => coreString(core._LabKnownMatrixText(lab, i, field));
        const [name, display, purpose, source] = [0, 1, 2, 3].map(text);
        list.push({name, display, purpose, source, matrix: Array.from(heap32(core._LabKnownMatrix(lab, i), 64))});
    }
    return list;
}

function listEncoders() {
    const list = [];
    for (let i = 0; i < core._LabEncoderCount(lab); i++) {
        list.push({name: coreString(core._LabEncoderName(lab, i)), intraVlc: core._LabEncoderIntraVlc(lab, i),
                   dc: core._LabEncoderDcPrecision(lab, i)});
    }
    return list;
}

// A whole decimal number of the text, or null.
function wholeNumber(text) { return /^[0-9]{1,3}$/.test(String(text ?? '')) ? Number(text) : null; }

// Takes the model asked for (texts, as from the page's address): an unknown
// encoder is the filter; an AC table or a DC precision the model cannot have
// (or none) is the encoder's default. Returns what was refused, for the page.
function takeModel(request) {
    const refused = [];
    let index = encoders.findIndex((e) => e.name === (request.encoder ?? encoders[0].name));
    if (index < 0) {
        refused.push(`encoder "${request.encoder}" is not one of ${encoders.map((e) => e.name).join(', ')}`);
        index = 0;
    }
    const encoder = encoders[index];
    // The core judges each field, with the other at the encoder's default;
    // the model is set once both are chosen.
    const choose = (text, what, fallback) => {
        if (text === null || text === undefined) return fallback;
        const value = wholeNumber(text);
        if (value !== null && core._LabSetModel(lab, index, what === 'intra_vlc' ? value : encoder.intraVlc,
                                                what === 'dc' ? value : encoder.dc)) {
            return value;
        }
        refused.push(`${what} "${text}" is not possible`);
        return fallback;
    };
    const intraVlc = choose(request.intraVlc, 'intra_vlc', encoder.intraVlc);
    const dc = choose(request.dc, 'dc', encoder.dc);
    core._LabSetModel(lab, index, intraVlc, dc);
    model = {encoder: encoder.name, intraVlc, dc, description: coreString(core._LabModelDescription(lab))};
    return refused;
}

function writeBoxTexts(texts) {
    const base = core._LabBoxTexts(lab), size = core._LabBoxTextBytes(lab);
    const encoder = new TextEncoder();
    for (let i = 0; i < 64; i++) {
        const bytes = encoder.encode(String(texts[i] ?? '')).subarray(0, size - 1);
        core.HEAPU8.set(bytes, base + i * size);
        core.HEAPU8[base + i * size + bytes.length] = 0;
    }
}

function takeSettings(m) {
    settings = {scale: m.scale, nonLinear: m.nonLinear ? 1 : 0, alternateScan: m.alternateScan ? 1 : 0,
                interlaced: m.interlaced ? 1 : 0};
    core._LabSetSettings(lab, settings.scale, settings.nonLinear, settings.alternateScan, settings.interlaced);
}

async function start(wantSimd, request, shown) {
    coreName = wantSimd ? 'lab_core_simd' : 'lab_core';
    importScripts(`${coreName}.js`);
    core = await createLabCore();
    lab = core._LabCreate();
    encoders = listEncoders();
    const refused = takeModel(request || {});
    if (shown) takeSettings(shown);
    post({type: 'ready', core: coreName, maxSide: core._LabMaxSide(lab), maxPixels: core._LabMaxPixels(lab),
          forms: matrixForms(), encoders, knownMatrices: knownMatrices()});
    post({type: 'model', change: lastChange, model, refused});
    post(matrixState('show', false));
    markDirty();
}

const handlers = {
    init: (m) => start(m.simd, m.model, m.settings),
    picture: (m) => takePicture(m.file, m.name),
    scene: () => {
        core._LabUseScene(lab);
        pictureName = 'built-in scene';
        pictureId++;
        markDirty();
    },
    settings: (m) => {
        takeSettings(m);
        markDirty();
    },
    model: (m) => {
        const refused = takeModel(m);
        post({type: 'model', change: lastChange, model, refused});
        markDirty();
    },
    views: (m) => {
        shownViews = {left: m.left, right: m.right};
        viewsDirty = true;
        schedule();
    },
    apply: (m) => {
        writeBoxTexts(m.texts);
        const changed = core._LabApply(lab);
        const flags = heap32(core._LabBoxCorrected(lab), 64);
        post(matrixState('apply', changed, Array.from(flags, (f) => f !== 0)));
        if (changed) markDirty();
    },
    step: (m) => {
        const moved = core._LabStep(lab, m.direction);
        post(matrixState('show', moved));
        if (moved) markDirty();
    },
    canvases: (m) => {
        canvases = {left: m.left, right: m.right};
        sentViews = {left: '', right: ''};
        viewsDirty = true;
        schedule();
    },
    importMatrix: (m) => importMatrix(m.file, m.name, m.form),
    exportMatrix: (m) => exportMatrix(m.name, m.form),
    dump: () => {
        const width = core._LabWidth(lab), height = core._LabHeight(lab), pixels = width * height;
        const ycPointer = core._LabReconstructionYc(lab);
        const yc = core.HEAPU8.slice(ycPointer, ycPointer + pixels * 6);
        const planes = [0, 1, 2].map((p) => {
            const pointer = core._LabReconstructionPlane(lab, p);
            return core.HEAPU8.slice(pointer, pointer + pixels).buffer;
        });
        post({type: 'dump', width, height, bytes: core._LabBytes(lab), yc: yc.buffer, planes},
             [yc.buffer].concat(planes));
    },
};

// Messages that arrive while the core is still loading wait for it.
let queue = Promise.resolve();
self.onmessage = (event) => {
    const message = event.data;
    queue = queue.then(() => {
        if (lastChange < (message.change || 0)) lastChange = message.change;
        return handlers[message.type] && handlers[message.type](message);
    }).catch((e) => {
        post({type: 'error', message: `internal error: ${e && e.message ? e.message : e}`});
    });
};
