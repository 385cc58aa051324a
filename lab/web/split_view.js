// Two views of the frame, one over the other, split by a handle the user
// drags: the left view shows left of it, the right view right of it. The
// split stays where it is on screen while the picture is zoomed or scrolled.

export class SplitView {
    constructor({frame, stage, left, right, handle, onHover}) {
        Object.assign(this, {frame, stage, left, right, handle, onHover});
        this.width = 0;
        this.height = 0;
        this.zoom = 'fit';
        this.split = 0.5;  // share of the visible width
        this.transferred = false;

        let dragging = false;
        handle.addEventListener('pointerdown', (e) => {
            dragging = true;
            handle.setPointerCapture(e.pointerId);
            e.preventDefault();
        });
        handle.addEventListener('pointermove', (e) => {
            if (!dragging) return;
            const box = frame.getBoundingClientRect();
            this.split = Math.min(1, Math.max(0, (e.clientX - box.left) / box.width));
            this.layoutSplit();
        });
        handle.addEventListener('pointerup', () => { dragging = false; });
        frame.addEventListener('scroll', () => this.layoutSplit());
        window.addEventListener('resize', () => this.layout());
        stage.addEventListener('mousemove', (e) => {
            const box = stage.getBoundingClientRect();
            const scale = box.width / Math.max(1, this.width);
            const x = Math.floor((e.clientX - box.left) / scale), y = Math.floor((e.clientY - box.top) / scale);
            if (x >= 0 && y >= 0 && x < this.width && y < this.height) onHover(x, y);
        });
        stage.addEventListener('mouseleave', () => onHover(-1, -1));
    }

    setZoom(zoom) {
        this.zoom = zoom;
        this.layout();
    }

    // Hands both canvases to a worker, which then draws into them itself
    // (the pixels never travel through the page). False where the browser
    // cannot; draw() stays the way then.
    transferTo(worker) {
        if (!this.left.transferControlToOffscreen) return false;
        const left = this.left.transferControlToOffscreen(), right = this.right.transferControlToOffscreen();
        worker.postMessage({type: 'canvases', left, right}, [left, right]);
        this.transferred = true;
        return true;
    }

    // Draws new pixels into one side ('left' or 'right').
    draw(side, width, height, rgba) {
        const canvas = side === 'left' ? this.left : this.right;
        if (canvas.width !== width || canvas.height !== height) {
            canvas.width = width;
            canvas.height = height;
        }
        canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), 0, 0);
        this.resize(width, height);
    }

    // The picture's size, when the worker draws.
    resize(width, height) {
        if (this.width !== width || this.height !== height) {
            this.width = width;
            this.height = height;
            this.layout();
        }
    }

    scale() {
        if (this.zoom !== 'fit') return Number(this.zoom);
        const fw = this.frame.clientWidth, fh = this.frame.clientHeight;
        return Math.min(fw / Math.max(1, this.width), fh / Math.max(1, this.height));
    }

    layout() {
        const s = this.scale();
        const w = Math.round(this.width * s), h = Math.round(this.height * s);
        for (const element of [this.stage, this.left, this.right]) {
            element.style.width = `${w}px`;
            element.style.height = `${h}px`;
        }
        // Small pictures and zoomed-in views show their pixels as squares.
        this.stage.classList.toggle('pixelated', s >= 2);
        this.layoutSplit();
    }

    layoutSplit() {
        const frameWidth = this.frame.clientWidth;
        const x = this.frame.scrollLeft + this.split * frameWidth;
        const stageLeft = this.stage.offsetLeft;
        const stageWidth = Math.max(1, this.stage.offsetWidth);
        const cut = Math.min(100, Math.max(0, (x - stageLeft) / stageWidth * 100));
        this.right.style.clipPath = `inset(0 0 0 ${cut}%)`;
        // The handle lives in the scrolled content, so it follows the scroll.
        this.handle.style.left = `${x}px`;
        this.handle.style.top = `${this.frame.scrollTop}px`;
        this.handle.style.height = `${this.frame.clientHeight}px`;
    }
}
