// A worker of the page: its own instance of the program, which draws a share
// of each frame's rows from the frame's values and sends them back a few rows
// at a time, so that the page stops drawing those rows itself as soon as they
// arrive. A frame that a newer one has overtaken (the page finished it alone)
// is dropped at the next few rows. Runs from a blob of the program's script
// followed by this one (hosts/web/row_workers.js).
'use strict';

let program = null;
let newestFrame = 0;
const ROW_CELLS = 80, SCREEN_ROWS = 50;
const ROWS_PER_ANSWER = 4;

// Lets a message that came meanwhile (a newer frame) be taken.
const turn = new MessageChannel();
const waiting = [];
turn.port1.onmessage = () => waiting.shift()();
const yieldTurn = () => new Promise((resolve) => (waiting.push(resolve), turn.port2.postMessage(null)));

onmessage = async (event) => {
  const message = event.data;
  if (message.wasm) {
    try {
      program = await createMurl13({ wasmBinary: message.wasm });
      postMessage({ ready: true });
    } catch (error) {
      postMessage({ failed: String(error) });
    }
    return;
  }
  // A frame: the rows listed, in their order, answered ROWS_PER_ANSWER at a time.
  const { frame, values, rows } = message;
  newestFrame = frame;
  program.HEAPU8.set(values, program._murl13_shared_frame());
  program._murl13_use_shared_frame();
  const cells = program._murl13_cells() / 4;
  for (let start = 0; start < rows.length; start += ROWS_PER_ANSWER) {
    if (start > 0) {
      await yieldTurn();
      if (newestFrame !== frame) return;
    }
    const these = rows.slice(start, start + ROWS_PER_ANSWER);
    const drawn = new Uint32Array(these.length * ROW_CELLS);
    these.forEach((y, r) => {
      program._murl13_draw_rows(y, SCREEN_ROWS);
      drawn.set(program.HEAPU32.subarray(cells + y * ROW_CELLS, cells + (y + 1) * ROW_CELLS), r * ROW_CELLS);
    });
    postMessage({ frame, rows: these, cells: drawn }, [drawn.buffer]);
  }
};
