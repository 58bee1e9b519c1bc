// The page's workers, one for each core but the page's own: each runs its own
// instance of the program (hosts/web/row_worker.js). With n workers a frame's
// rows are shared n + 1 ways, every (n + 1)-th row to each: the page's thread
// draws rows 0, n + 1, ... itself while worker k draws rows k + 1, k + n + 2,
// ...; so the sky's cheap rows and the scene's costly ones are shared out
// evenly, and the page's thread, busy meanwhile, finds the workers' rows
// waiting rather than waiting to be woken for them. They need no shared
// memory, so any static host serves them. The page's instance gives each
// frame's values and puts the rows it gets back into its own cells before it
// stamps the logos and shows them.
'use strict';

// Resolves with the workers once each has its instance, or with null where
// workers cannot run (none in the browser, a refused blob, a failed start).
async function startRowWorkers(count, workerSource, wasm) {
  if (count < 1 || typeof Worker !== 'function') return null;
  const url = URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' }));
  const workers = [];
  try {
    const started = [];
    for (let k = 0; k < count; ++k) {
      const worker = new Worker(url);
      workers.push(worker);
      started.push(new Promise((resolve, reject) => {
        worker.onmessage = (event) => (event.data.ready ? resolve() : reject(new Error(event.data.failed)));
        worker.onerror = (event) => reject(new Error(event.message || 'the worker did not start'));
      }));
      worker.postMessage({ wasm });
    }
    await Promise.all(started);
  } catch (error) {
    console.warn('murl13: cells on the page thread:', error);
    for (const worker of workers) worker.terminate();
    return null;
  } finally {
    URL.revokeObjectURL(url);
  }
  return rowWorkers(workers);
}

function rowWorkers(workers) {
  const count = workers.length, shares = count + 1;
  const ROW_CELLS = 80, ANSWER_MS = 2000;
  let pending = null;  // { left, resolve, reject, program } of the frame being drawn
  for (const worker of workers) {
    worker.onmessage = (event) => {
      const { first, rows } = event.data;
      const heap = pending.program.HEAPU32, cells = pending.program._murl13_cells() / 4;
      for (let r = 0, y = first; y < 50; ++r, y += shares)
        heap.set(rows.subarray(r * ROW_CELLS, (r + 1) * ROW_CELLS), cells + y * ROW_CELLS);
      if (--pending.left === 0) pending.resolve();
    };
    worker.onerror = (event) => pending && pending.reject(new Error(event.message || 'a worker failed'));
  }
  return {
    count,
    // Draws the frame whose values `program` has shared into its cells; fails
    // when a worker has failed, or has not answered in ANSWER_MS (a worker
    // that died without a word must not stop the show).
    draw(program) {
      const drawn = new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error('a worker did not answer')), ANSWER_MS);
        pending = { left: count, resolve: () => (clearTimeout(timer), resolve()), reject, program };
      });
      const at = program._murl13_shared_frame();
      const values = program.HEAPU8.slice(at, at + program._murl13_shared_frame_size());
      for (let k = 0; k < count; ++k) workers[k].postMessage({ values, first: k + 1, step: shares });
      program._murl13_draw_rows(0, shares);
      return drawn;
    },
    stop() {
      for (const worker of workers) worker.terminate();
    },
  };
}
