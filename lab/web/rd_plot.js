// Rate against distortion: estimated bytes across, luma PSNR up, one curve
// for the matrix in effect and one for the default matrix, each point a scale
// code, both coded with the model the legend names. The frame on show is
// ringed.

const kCurrentColour = '#e0603a';
const kDefaultColour = '#7d8a99';

function niceStep(range, ticks) {
    const raw = range / ticks;
    const magnitude = Math.pow(10, Math.floor(Math.log10(raw)));
    for (const m of [1, 2, 2.5, 5, 10]) if (m * magnitude >= raw) return m * magnitude;
    return 10 * magnitude;
}

function formatBytes(value) {
    if (value >= 1e6) return `${(value / 1e6).toFixed(value >= 1e7 ? 0 : 1)} MB`;
    if (value >= 1e3) return `${(value / 1e3).toFixed(value >= 1e4 ? 0 : 1)} kB`;
    return `${value} B`;
}

export function DrawRdPlot(canvas, curves, shown) {
    const ratio = window.devicePixelRatio || 1;
    const cssWidth = canvas.clientWidth || canvas.width, cssHeight = canvas.clientHeight || canvas.height;
    if (canvas.width !== Math.round(cssWidth * ratio)) {
        canvas.width = Math.round(cssWidth * ratio);
        canvas.height = Math.round(cssHeight * ratio);
    }
    const g = canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.clearRect(0, 0, cssWidth, cssHeight);
    g.font = '12px system-ui, sans-serif';

    const points = [...curves.current, ...curves.default].filter((p) => Number.isFinite(p.psnrY));
    const left = 56, right = cssWidth - 180, top = 14, bottom = cssHeight - 30;
    g.fillStyle = '#9aa5b1';
    if (points.length === 0) {
        g.fillText('rate-distortion curves: computing…', left, top + 20);
        return;
    }
    const bytes = points.map((p) => p.bytes), psnr = points.map((p) => p.psnrY);
    if (shown && Number.isFinite(shown.psnrY)) {
        bytes.push(shown.bytes);
        psnr.push(shown.psnrY);
    }
    let x0 = 0, x1 = Math.max(...bytes) * 1.05;
    let y0 = Math.floor(Math.min(...psnr) - 1), y1 = Math.ceil(Math.max(...psnr) + 1);
    const sx = (v) => left + (v - x0) / (x1 - x0) * (right - left);
    const sy = (v) => bottom - (v - y0) / (y1 - y0) * (bottom - top);

    // Grid and axes.
    g.strokeStyle = '#2c3440';
    g.lineWidth = 1;
    g.textAlign = 'center';
    const xStep = niceStep(x1 - x0, 6);
    for (let v = 0; v <= x1; v += xStep) {
        g.beginPath();
        g.moveTo(sx(v), top);
        g.lineTo(sx(v), bottom);
        g.stroke();
        g.fillText(formatBytes(v), sx(v), bottom + 16);
    }
    g.textAlign = 'right';
    const yStep = niceStep(y1 - y0, 4);
    for (let v = Math.ceil(y0 / yStep) * yStep; v <= y1; v += yStep) {
        g.beginPath();
        g.moveTo(left, sy(v));
        g.lineTo(right, sy(v));
        g.stroke();
        g.fillText(`${v.toFixed(yStep < 1 ? 1 : 0)} dB`, left - 6, sy(v) + 4);
    }

    const drawCurve = (curve, colour) => {
        const sorted = curve.filter((p) => Number.isFinite(p.psnrY)).sort((a, b) => a.bytes - b.bytes);
        g.strokeStyle = colour;
        g.fillStyle = colour;
        g.lineWidth = 2;
        g.beginPath();
        sorted.forEach((p, i) => (i ? g.lineTo(sx(p.bytes), sy(p.psnrY)) : g.moveTo(sx(p.bytes), sy(p.psnrY))));
        g.stroke();
        for (const p of sorted) {
            g.beginPath();
            g.arc(sx(p.bytes), sy(p.psnrY), 2.5, 0, 2 * Math.PI);
            g.fill();
        }
    };
    drawCurve(curves.default, kDefaultColour);
    drawCurve(curves.current, kCurrentColour);
    if (shown && Number.isFinite(shown.psnrY)) {
        g.strokeStyle = '#f5f7fa';
        g.lineWidth = 2;
        g.beginPath();
        g.arc(sx(shown.bytes), sy(shown.psnrY), 6, 0, 2 * Math.PI);
        g.stroke();
    }

    // Legend, under the model that coded both curves: on two lines where
    // it does not fit on one ("mpeg2enc" over "(intra_vlc 0, dc 10)").
    g.textAlign = 'left';
    const room = cssWidth - right - 24;
    g.font = '600 12px system-ui, sans-serif';
    let title = curves.model ? [curves.model] : [];
    if (title.length && g.measureText(title[0]).width > room && title[0].includes(' (')) {
        const cut = title[0].indexOf(' (');
        title = [title[0].slice(0, cut), title[0].slice(cut + 1)];
    }
    g.fillStyle = '#c9d1da';
    title.forEach((line, i) => g.fillText(line, right + 16, top + 12 + i * 16, room));
    g.font = '12px system-ui, sans-serif';
    const below = top + (title.length ? title.length * 16 + 6 : 0);
    const legend = [[kCurrentColour, 'matrix in effect'], [kDefaultColour, 'default matrix']];
    legend.forEach(([colour, text], i) => {
        g.fillStyle = colour;
        g.fillRect(right + 16, below + 6 + i * 20, 14, 4);
        g.fillStyle = '#c9d1da';
        g.fillText(text, right + 36, below + 12 + i * 20);
    });
    g.fillStyle = '#9aa5b1';
    g.fillText('bytes → , PSNR Y ↑', right + 16, below + 58);
    g.fillText('one point a scale code', right + 16, below + 76);
}
