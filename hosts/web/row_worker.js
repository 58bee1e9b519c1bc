// A worker of the page: its own instance of the program, which draws a share
// of each frame's rows from the frame's values and sends them back. Runs from
// a blob of the program's script followed by this one (hosts/web/row_workers.js).
'use strict';

let program = null;
const ROW_CELLS = 80;

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
  // A frame: every `step`-th row from `first`.
  const { values, first, step } = message;
  program.HEAPU8.set(values, program._murl13_shared_frame());
  program._murl13_draw_rows(first, step);
  const cells = program._murl13_cells() / 4;
  const rows = new Uint32Array(Math.ceil((50 - first) / step) * ROW_CELLS);
  for (let r = 0, y = first; y < 50; ++r, y += step)
    rows.set(program.HEAPU32.subarray(cells + y * ROW_CELLS, cells + (y + 1) * ROW_CELLS), r * ROW_CELLS);
  postMessage({ first, rows }, [rows.buffer]);
};
