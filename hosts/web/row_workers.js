// The page's workers, one for each core but the page's own: each runs its own
// instance of the program (hosts/web/row_worker.js). With n workers a frame's
// rows are shared n + 1 ways, every (n + 1)-th row to each: the page's thread
// draws rows 0, n + 1, ... itself while worker k draws rows k + 1, k + n + 2,
// ... from the top, sending them back a few at a time; so the sky's cheap
// rows and the scene's costly ones are shared out evenly. Then the page's
// thread draws, from the bottom up, whichever of the workers' rows have not
// come yet, until the two meet: a worker slow to wake (a sleeping core can
// take a millisecond) costs the frame only the rows the page draws for it.
// They need no shared memory, so any static host serves them. The page's
// instance gives each frame's values and puts the rows it gets back into its
// own cells before it stamps the logos and shows them.
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
  const ROW_CELLS = 80, SCREEN_ROWS = 50, ANSWER_MS = 2000, HELP_PER_TURN = 3;
  let frameNumber = 0, failure = null;
  let pending = null;  // { frame, program, done, left } of the frame being drawn
  // When each worker was given a frame it has not answered any of, or null.
  const askedAt = workers.map(() => null);
  workers.forEach((worker, k) => {
    worker.onmessage = (event) => {
      askedAt[k] = null;
      const { frame, rows, cells } = event.data;
      if (!pending || frame !== pending.frame) return;  // a frame the page has finished itself
      const heap = pending.program.HEAPU32, base = pending.program._murl13_cells() / 4;
      rows.forEach((y, r) => {
        if (pending.done[y]) return;
        heap.set(cells.subarray(r * ROW_CELLS, (r + 1) * ROW_CELLS), base + y * ROW_CELLS);
        pending.done[y] = 1;
        --pending.left;
      });
    };
    worker.onerror = (event) => (failure = new Error(event.message || 'a worker failed'));
  });

  // Returns to the event loop for a moment, so that the workers' answers
  // that came meanwhile are taken.
  const turn = new MessageChannel();
  const waiting = [];
  turn.port1.onmessage = () => waiting.shift()();
  const yieldTurn = () => new Promise((resolve) => (waiting.push(resolve), turn.port2.postMessage(null)));

  return {
    count,
    // Draws the frame whose values `program` has shared into its cells. The
    // page's thread draws its own rows, then the workers' rows that have not
    // come yet, from the bottom up while the workers go down theirs from the
    // top, until every row is there: a worker that is slow to wake or to
    // answer costs the frame no more than the rows it has not sent. Fails
    // when a worker has failed, or has not answered in ANSWER_MS (a worker
    // that died without a word must not leave the page drawing alone).
    async draw(program) {
      const now = performance.now();
      for (let k = 0; k < count; ++k)
        if (askedAt[k] !== null && now - askedAt[k] > ANSWER_MS) failure ||= new Error('a worker did not answer');
      if (failure) throw failure;
      const frame = ++frameNumber;
      const at = program._murl13_shared_frame();
      const values = program.HEAPU8.slice(at, at + program._murl13_shared_frame_size());
      const frameState = { frame, program, done: new Uint8Array(SCREEN_ROWS), left: SCREEN_ROWS };
      pending = frameState;
      for (let k = 0; k < count; ++k) {
        const rows = [];
        for (let y = k + 1; y < SCREEN_ROWS; y += shares) rows.push(y);
        workers[k].postMessage({ frame, values, rows });
        if (askedAt[k] === null) askedAt[k] = now;
      }
      program._murl13_draw_rows(0, shares);
      for (let y = 0; y < SCREEN_ROWS; y += shares) frameState.done[y] = 1, --frameState.left;
      let sinceTurn = 0;
      for (let y = SCREEN_ROWS - 1; y >= 0 && frameState.left > 0; --y) {
        if (frameState.done[y]) continue;
        if (++sinceTurn >= HELP_PER_TURN) {
          sinceTurn = 0;
          await yieldTurn();
          if (frameState.done[y]) continue;
        }
        program._murl13_draw_rows(y, SCREEN_ROWS);
        frameState.done[y] = 1;
        --frameState.left;
      }
      pending = null;
    },
    stop() {
      for (const worker of workers) worker.terminate();
    },
  };
}
