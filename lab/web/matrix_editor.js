// The 8x8 grid of matrix boxes. The boxes only hold text: the worker's core
// reads, clamps and records it on Apply, and the grid shows what it decided.

const kEntries = 64;

export class MatrixEditor {
    constructor(grid) {
        this.boxes = [];
        for (let i = 0; i < kEntries; i++) {
            const box = document.createElement('input');
            box.type = 'text';
            box.inputMode = 'numeric';
            box.maxLength = 4;
            box.autocomplete = 'off';
            box.spellcheck = false;
            box.dataset.index = String(i);
            box.title = `row ${i >> 3}, column ${i & 7}`;
            box.addEventListener('input', () => {
                box.classList.toggle('edited', box.value !== box.dataset.applied);
                box.classList.remove('corrected');
            });
            grid.appendChild(box);
            this.boxes.push(box);
        }
        this.matrix = new Array(kEntries).fill(1);
    }

    texts() { return this.boxes.map((box) => box.value); }

    // Shows the matrix in effect in every box (Cancel, back, forward).
    show(matrix) {
        this.matrix = matrix.slice();
        this.boxes.forEach((box, i) => {
            box.value = String(matrix[i]);
            box.dataset.applied = box.value;
            box.classList.remove('edited', 'corrected');
        });
    }

    // After Apply: boxes whose value was clamped show the value taken; the
    // others keep their text as typed (so "08" stays "08").
    applied(matrix, corrected) {
        this.matrix = matrix.slice();
        this.boxes.forEach((box, i) => {
            if (corrected[i]) box.value = String(matrix[i]);
            box.dataset.applied = box.value;
            box.classList.remove('edited');
            box.classList.toggle('corrected', !!corrected[i]);
        });
    }

    // Puts values into the boxes without applying them.
    fill(values) {
        this.boxes.forEach((box, i) => {
            box.value = String(values[i]);
            box.classList.toggle('edited', box.value !== box.dataset.applied);
        });
    }
}
